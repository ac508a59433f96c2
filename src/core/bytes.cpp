#include "core/bytes.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

namespace tarnwick {

namespace {

// Bodies of several megabytes ask for huge pages: faulting in 4 KiB pages one by one costs more
// than copying the bytes.
constexpr size_t kHugePageWorthy = size_t{4} << 20;

void advise_huge_pages(char* data, size_t length) {
#ifdef MADV_HUGEPAGE
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) / page * page;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + length) / page * page;
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)length;
#endif
}

// Doubles the room, so that a body appended chunk by chunk is copied O(1) times per byte.
void make_room(std::string& bytes, size_t needed) {
  const size_t capacity = std::max(needed, bytes.capacity() * 2);
  if (capacity < kHugePageWorthy) {
    bytes.reserve(capacity);
    return;
  }
  std::string larger;
  larger.reserve(capacity);
  advise_huge_pages(larger.data(), larger.capacity());
  larger.append(bytes);
  bytes.swap(larger);
}

}  // namespace

void ByteString::append(const char* data, int32_t count) {
  if (count <= 0) return;
  const size_t needed = bytes_.size() + static_cast<size_t>(count);
  const bool from_itself = std::greater_equal<const char*>()(data, bytes_.data()) &&
                           std::less<const char*>()(data, bytes_.data() + bytes_.size());
  if (needed > bytes_.capacity() && !from_itself) make_room(bytes_, needed);
  bytes_.append(data, static_cast<size_t>(count));
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
