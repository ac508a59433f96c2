#include "core/bytes.h"

#include <algorithm>

namespace tarnwick {

void ByteString::append(const char* data, int32_t count) {
  if (count > 0) bytes_.append(data, static_cast<size_t>(count));
}

ByteString text_to_bytes(const Text& text) { return ByteString(text.view()); }

Text bytes_to_text(const ByteString& bytes) { return Text(bytes.view()); }

ByteString bytes_left(const ByteString& bytes, int32_t count) {
  if (count <= 0) return ByteString();
  return ByteString(bytes.view().substr(0, static_cast<size_t>(count)));
}

ByteString blank_bytes(int32_t count) {
  if (count <= 0) return ByteString();
  return ByteString(std::string(static_cast<size_t>(count), '\0'));
}

int32_t bytes_length(const ByteString& bytes) { return bytes.length(); }

ByteString concat_byte_views(std::initializer_list<std::string_view> parts) {
  size_t total = 0;
  for (const std::string_view part : parts) total += part.size();
  std::string joined;
  joined.reserve(total);
  for (const std::string_view part : parts) joined.append(part);
  return ByteString(std::move(joined));
}

}  // namespace tarnwick
