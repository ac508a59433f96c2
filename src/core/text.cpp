#include "core/text.h"

#include <algorithm>
#include <cstring>

#include "core/text_scan.h"

namespace tarnwick {

namespace {

std::string_view up_to_zero(std::string_view bytes) {
  const size_t zero = bytes.find('\0');
  return zero == std::string_view::npos ? bytes : bytes.substr(0, zero);
}

unsigned char byte_at(std::string_view bytes, size_t index) {
  return static_cast<unsigned char>(bytes[index]);
}

bool is_lead_byte(unsigned char byte) { return byte >= 0x80; }

bool is_full_width_space(std::string_view bytes, size_t index) {
  return index + 1 < bytes.size() && byte_at(bytes, index) == 0xA1 &&
         byte_at(bytes, index + 1) == 0xA1;
}

// Steps one character from index; from a dangling lead byte it steps past the end.
size_t next_character(std::string_view bytes, size_t index) {
  return is_lead_byte(byte_at(bytes, index)) ? index + 2 : index + 1;
}

// Whether a scan from at that finds no match reaches a dangling lead byte, which it drops: only a
// one-byte sought text is tried at the last byte.
bool scan_drops_dangling_byte(std::string_view bytes, size_t at, size_t sought_length) {
  const size_t last = bytes.size() - 1;
  return sought_length == 1 && at <= last && is_lead_byte(byte_at(bytes, last)) &&
         starts_character(bytes, at, last);
}

}  // namespace

Text::Text(const char* zero_terminated) {
  if (zero_terminated != nullptr) bytes_.assign(zero_terminated);
}

Text::Text(std::string_view bytes) : bytes_(up_to_zero(bytes)) {}

Text::Text(std::string&& bytes) : bytes_(std::move(bytes)) {
  const size_t zero = bytes_.find('\0');
  if (zero != std::string::npos) bytes_.resize(zero);
}

void Text::assign(std::string_view bytes) { bytes_.assign(up_to_zero(bytes)); }

int32_t text_length(const Text& text) { return text.length(); }

int32_t compare_text(const Text& a, const Text& b) {
  const size_t common = std::min(a.view().size(), b.view().size());
  const int order = common == 0 ? 0 : std::memcmp(a.c_str(), b.c_str(), common);
  if (order != 0) return order < 0 ? -1 : 1;
  if (a.length() == b.length()) return 0;
  return a.length() < b.length() ? -1 : 1;
}

int32_t find_text(const Text& text, const Text& sought, bool ignore_case) {
  return find_text(text, sought, 1, ignore_case);
}

int32_t find_text(const Text& text, const Text& sought, int32_t start, bool ignore_case) {
  const std::string_view bytes = text.view();
  const size_t from = start <= 1 ? 0 : static_cast<size_t>(start) - 1;
  if (from >= bytes.size()) return -1;
  if (sought.empty()) return 1;
  const size_t found = scan_first(bytes, from, sought.view(), ignore_case);
  return found == std::string_view::npos ? -1 : static_cast<int32_t>(found) + 1;
}

namespace {

// The last match that begins on a character and ends within the first covered bytes.
int32_t last_match_within(std::string_view whole, size_t covered, std::string_view sought,
                          bool ignore_case) {
  if (sought.empty()) return covered > 0 ? 1 : -1;
  const std::string_view stretch = whole.substr(0, covered);
  int32_t last = -1;
  size_t at = 0;
  while (at + sought.size() <= stretch.size()) {
    at = scan_first(stretch, at, sought, ignore_case);
    if (at == std::string_view::npos) break;
    last = static_cast<int32_t>(at) + 1;
    at = next_character(stretch, at);
  }
  return last;
}

}  // namespace

int32_t find_text_reverse(const Text& text, const Text& sought, bool ignore_case) {
  return last_match_within(text.view(), text.view().size(), sought.view(), ignore_case);
}

int32_t find_text_reverse(const Text& text, const Text& sought, int32_t start, bool ignore_case) {
  const std::string_view whole = text.view();
  const size_t covered = start <= 1 ? 0 : std::min(whole.size(), static_cast<size_t>(start) - 1);
  return last_match_within(whole, covered, sought.view(), ignore_case);
}

Text text_left(const Text& text, int32_t count) {
  if (count <= 0) return Text();
  return Text(text.view().substr(0, static_cast<size_t>(count)));
}

Text text_right(const Text& text, int32_t count) {
  if (count <= 0) return Text();
  const size_t length = text.view().size();
  const size_t keep = std::min(length, static_cast<size_t>(count));
  return Text(text.view().substr(length - keep));
}

Text text_mid(const Text& text, int32_t start, int32_t count) {
  if (start < 1 || count <= 0 || start > text.length()) return Text();
  return Text(text.view().substr(static_cast<size_t>(start) - 1, static_cast<size_t>(count)));
}

Text replace_text(const Text& text, const Text& sought, const Text& replacement,
                  bool case_sensitive) {
  return replace_text(text, sought, replacement, 1, -1, case_sensitive);
}

Text replace_text(const Text& text, const Text& sought, const Text& replacement, int32_t start,
                  int32_t count, bool case_sensitive) {
  const std::string_view bytes = text.view();
  const std::string_view pattern = sought.view();
  const size_t from = start <= 1 ? 0 : static_cast<size_t>(start) - 1;
  if (bytes.empty() || pattern.empty() || from >= bytes.size() || count == 0) return text;

  size_t found = scan_first(bytes, from, pattern, !case_sensitive);
  if (found == std::string_view::npos && !scan_drops_dangling_byte(bytes, from, pattern.size())) {
    return text;
  }
  std::string result(bytes.substr(0, from));
  size_t at = from;
  int32_t replaced = 0;
  for (;;) {
    if (found == std::string_view::npos) {
      if (scan_drops_dangling_byte(bytes, at, pattern.size())) {
        result.append(bytes.substr(at, bytes.size() - 1 - at));
        at = bytes.size();
      }
      break;
    }
    result.append(bytes.substr(at, found - at));
    result.append(replacement.view());
    at = found + pattern.size();
    if (++replaced == count) break;
    found = scan_first(bytes, at, pattern, !case_sensitive);
  }
  if (at < bytes.size()) result.append(bytes.substr(at));
  return Text(std::move(result));
}

std::string_view trim_both_view(std::string_view bytes) {
  size_t first = 0;
  while (first < bytes.size()) {
    if (byte_at(bytes, first) == 0x20) {
      ++first;
    } else if (is_full_width_space(bytes, first)) {
      first += 2;
    } else {
      break;
    }
  }
  if (first == bytes.size()) return {};
  const size_t last = bytes.size() - 1;
  // A dangling lead byte is cut off, and the spaces before it stay.
  if (is_lead_byte(byte_at(bytes, last)) && starts_character(bytes, first, last)) {
    return bytes.substr(first, last - first);
  }
  // Trailing spaces go, walking back from the end, which is a character boundary. Behind a lead
  // byte the character is a pair; a 0x20 behind a lead byte may be the pair's second byte.
  size_t end = bytes.size();
  while (end > first) {
    if (is_lead_byte(byte_at(bytes, end - 1))) {
      if (!is_full_width_space(bytes, end - 2)) break;
      end -= 2;
      continue;
    }
    if (byte_at(bytes, end - 1) != 0x20) break;
    const bool lone = end - 1 == first || !is_lead_byte(byte_at(bytes, end - 2)) ||
                      starts_character(bytes, first, end - 1);
    if (!lone) break;
    --end;
  }
  return bytes.substr(first, end - first);
}

Text trim_both(const Text& text) { return Text(trim_both_view(text.view())); }

Text remove_all_spaces(const Text& text) {
  const std::string_view bytes = text.view();
  std::string result;
  result.reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) {
    const unsigned char byte = byte_at(bytes, at);
    if (byte == 0x20) {
      ++at;
    } else if (!is_lead_byte(byte)) {
      result.push_back(static_cast<char>(byte));
      ++at;
    } else if (at + 1 == bytes.size()) {
      break;  // a dangling lead byte is left out
    } else {
      if (!is_full_width_space(bytes, at)) result.append(bytes.substr(at, 2));
      at += 2;
    }
  }
  return Text(std::move(result));
}

Text to_lower(const Text& text) {
  std::string result(text.view());
  for (size_t at = 0; at < result.size();) {
    const unsigned char byte = static_cast<unsigned char>(result[at]);
    if (is_lead_byte(byte)) {
      at += 2;
      continue;
    }
    if (byte >= 'A' && byte <= 'Z') result[at] = static_cast<char>(byte + 0x20);
    ++at;
  }
  return Text(std::move(result));
}

TextArray split_text(const Text& text, const Text& separator, std::optional<int32_t> max_pieces) {
  TextArray pieces;
  const std::string_view bytes = text.view();
  const std::string_view pattern = separator.view();
  const bool limited = max_pieces.has_value();
  int32_t remaining = limited ? std::max(*max_pieces, 0) : 0;
  if (bytes.empty() || (limited && remaining == 0)) return pieces;
  if (pattern.empty()) {
    pieces.append(text);
    return pieces;
  }
  size_t piece_start = 0;
  size_t at = 0;
  while (at + pattern.size() <= bytes.size()) {
    const size_t found = scan_first(bytes, at, pattern, false);
    if (found == std::string_view::npos) break;
    pieces.append(Text(bytes.substr(piece_start, found - piece_start)));
    at = found + pattern.size();
    piece_start = at;
    if (limited && --remaining == 0) return pieces;
  }
  if (piece_start < bytes.size()) pieces.append(Text(bytes.substr(piece_start)));
  return pieces;
}

Text char_from_code(int32_t code) {
  const char byte = static_cast<char>(static_cast<uint32_t>(code) & 0xFFu);
  return Text(std::string_view(&byte, 1));
}

Text blank_text(int32_t count) {
  if (count <= 0) return Text();
  return Text(std::string(static_cast<size_t>(count), ' '));
}

Text concat_views(std::initializer_list<std::string_view> parts) {
  size_t total = 0;
  for (const std::string_view part : parts) total += part.size();
  std::string joined;
  joined.reserve(total);
  for (const std::string_view part : parts) joined.append(part);
  return Text(std::move(joined));
}

}  // namespace tarnwick
