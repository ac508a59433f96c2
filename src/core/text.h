// Text values: bytes of code page 936, positions 1-based and counted in bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

class TextArray;

// A text holds the bytes before its first zero byte; a null text and an empty text are one value.
class Text {
 public:
  Text() = default;
  Text(const char* zero_terminated);  // NOLINT: ASCII literals read the same in code page 936
  explicit Text(std::string_view bytes);
  explicit Text(std::string&& bytes);

  int32_t length() const { return static_cast<int32_t>(bytes_.size()); }
  bool empty() const { return bytes_.empty(); }
  std::string_view view() const { return bytes_; }
  const char* c_str() const { return bytes_.c_str(); }
  const std::string& str() const { return bytes_; }

  // Replaces the bytes (up to the first zero byte), reusing the room the text already holds.
  void assign(std::string_view bytes);

  friend bool operator==(const Text& a, const Text& b) { return a.bytes_ == b.bytes_; }

 private:
  std::string bytes_;  // never holds a zero byte
};

int32_t text_length(const Text& text);

template <typename... More>
Text concat_text(const Text& first, const More&... more);

// -1, 0 or 1 by unsigned byte order.
int32_t compare_text(const Text& a, const Text& b);

// 1-based position of the first occurrence at or after start, or -1.
int32_t find_text(const Text& text, const Text& sought, bool ignore_case);
int32_t find_text(const Text& text, const Text& sought, int32_t start, bool ignore_case);
int32_t find_text(const Text&, const Text&, int32_t) = delete;  // the flag is always given

// 1-based position of the last occurrence lying wholly before start, or -1.
int32_t find_text_reverse(const Text& text, const Text& sought, bool ignore_case);
int32_t find_text_reverse(const Text& text, const Text& sought, int32_t start, bool ignore_case);
int32_t find_text_reverse(const Text&, const Text&, int32_t) = delete;

Text text_left(const Text& text, int32_t count);
Text text_right(const Text& text, int32_t count);
Text text_mid(const Text& text, int32_t start, int32_t count);

// A negative count means no limit; start 1 or below means from the first byte.
Text replace_text(const Text& text, const Text& sought, const Text& replacement,
                  bool case_sensitive);
Text replace_text(const Text& text, const Text& sought, const Text& replacement, int32_t start,
                  int32_t count, bool case_sensitive);

// Spaces are the byte 0x20 and the full-width space A1 A1.
Text trim_both(const Text& text);
// The same on a stretch of bytes, without copying them; the stretch must hold no zero byte.
std::string_view trim_both_view(std::string_view bytes);
Text remove_all_spaces(const Text& text);

// Folds the one-byte letters A to Z only.
Text to_lower(const Text& text);

// No maximum means no limit; a given negative maximum counts as 0.
TextArray split_text(const Text& text, const Text& separator = ",",
                     std::optional<int32_t> max_pieces = std::nullopt);

Text char_from_code(int32_t code);
Text blank_text(int32_t count);

// Joins the bytes of any number of texts.
Text concat_views(std::initializer_list<std::string_view> parts);

template <typename... More>
Text concat_text(const Text& first, const More&... more) {
  return concat_views({first.view(), Text(more).view()...});
}

}  // namespace tarnwick

#include "core/array.h"
