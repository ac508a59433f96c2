// Counted byte strings that may hold zero bytes; null equals empty.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/text.h"

namespace tarnwick {

class ByteString {
 public:
  ByteString() = default;
  explicit ByteString(std::string_view bytes) : bytes_(bytes) {}
  explicit ByteString(std::string&& bytes) : bytes_(std::move(bytes)) {}

  int32_t length() const { return static_cast<int32_t>(bytes_.size()); }
  bool empty() const { return bytes_.empty(); }
  std::string_view view() const { return bytes_; }
  char* data() { return bytes_.data(); }
  const char* data() const { return bytes_.data(); }

  // In-place append for bodies that grow chunk by chunk: amortised O(1) per byte.
  void append(const char* data, int32_t count);

  friend bool operator==(const ByteString& a, const ByteString& b) { return a.bytes_ == b.bytes_; }

 private:
  std::string bytes_;
};

ByteString text_to_bytes(const Text& text);
// The bytes before the first zero byte, or all of them.
Text bytes_to_text(const ByteString& bytes);
ByteString bytes_left(const ByteString& bytes, int32_t count);
ByteString blank_bytes(int32_t count);
int32_t bytes_length(const ByteString& bytes);

ByteString concat_byte_views(std::initializer_list<std::string_view> parts);

template <typename... More>
ByteString concat_bytes(const ByteString& first, const More&... more) {
  return concat_byte_views({first.view(), more.view()...});
}

}  // namespace tarnwick
