// Slow, byte-by-byte forms of the searching text operations, written straight from their rules,
// against which the real ones are checked on many generated inputs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::reference {

inline unsigned char at(const std::string& s, size_t i) { return static_cast<unsigned char>(s[i]); }

inline unsigned char folded(unsigned char c) { return c >= 0x41 && c <= 0x5A ? c + 0x20 : c; }

inline bool same_bytes(const std::string& text, size_t i, const std::string& sought,
                       bool ignore_case) {
  for (size_t k = 0; k < sought.size(); ++k) {
    unsigned char a = at(text, i + k);
    unsigned char b = at(sought, k);
    if (ignore_case) {
      a = folded(a);
      b = folded(b);
    }
    if (a != b) return false;
  }
  return true;
}

inline int32_t find(const std::string& text, const std::string& sought,
                    std::optional<int32_t> start, bool ignore_case) {
  const int64_t length = static_cast<int64_t>(text.size());
  int64_t i = 0;
  if (start && *start > 1) i = *start - 1;
  if (i >= length) return -1;
  if (sought.empty()) return 1;
  const int64_t k = static_cast<int64_t>(sought.size());
  while (i < length) {
    if (length - i < k) return -1;
    if (same_bytes(text, static_cast<size_t>(i), sought, ignore_case)) {
      return static_cast<int32_t>(i + 1);
    }
    if (at(text, static_cast<size_t>(i)) >= 0x80) {
      if (i + 1 == length) return -1;  // moving on from a dangling byte ends the scan
      i += 2;
    } else {
      i += 1;
    }
  }
  return -1;
}

inline int32_t find_reverse(const std::string& text, const std::string& sought,
                            std::optional<int32_t> start, bool ignore_case) {
  const int64_t length = static_cast<int64_t>(text.size());
  int64_t covered = length;
  if (start) covered = *start <= 1 ? 0 : std::min<int64_t>(length, *start - 1);
  if (sought.empty()) return covered > 0 ? 1 : -1;
  const int64_t k = static_cast<int64_t>(sought.size());
  int32_t last = -1;
  int64_t i = 0;
  while (i < covered && covered - i >= k) {
    if (same_bytes(text, static_cast<size_t>(i), sought, ignore_case)) {
      last = static_cast<int32_t>(i + 1);
    }
    if (at(text, static_cast<size_t>(i)) >= 0x80) {
      if (i + 1 == length) break;
      i += 2;
    } else {
      i += 1;
    }
  }
  return last;
}

inline std::string replace(const std::string& text, const std::string& sought,
                           const std::string& replacement, int32_t start, int32_t count,
                           bool case_sensitive) {
  const int64_t length = static_cast<int64_t>(text.size());
  const int64_t k = static_cast<int64_t>(sought.size());
  const int64_t s = start <= 1 ? 0 : static_cast<int64_t>(start) - 1;
  if (length == 0 || k == 0 || s >= length || count == 0) return text;
  std::string result = text.substr(0, static_cast<size_t>(s));
  int64_t i = s;
  int32_t done = 0;
  while (length - i >= k) {
    if (same_bytes(text, static_cast<size_t>(i), sought, !case_sensitive)) {
      result += replacement;
      i += k;
      ++done;
      if (count >= 0 && done == count) break;
      continue;
    }
    if (at(text, static_cast<size_t>(i)) < 0x80) {
      result += text[static_cast<size_t>(i)];
      i += 1;
    } else if (i + 1 < length) {
      result += text.substr(static_cast<size_t>(i), 2);
      i += 2;
    } else {
      i += 1;  // a dangling byte is not copied, and the scan ends
      break;
    }
  }
  if (i < length) result += text.substr(static_cast<size_t>(i));
  return result;
}

inline bool space_at(const std::string& text, size_t i) {
  if (at(text, i) == 0x20) return true;
  return i + 1 < text.size() && at(text, i) == 0xA1 && at(text, i + 1) == 0xA1;
}

inline size_t char_width(const std::string& text, size_t i) { return at(text, i) >= 0x80 ? 2 : 1; }

inline std::string trim(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && space_at(text, i)) i += char_width(text, i);
  std::string kept;
  std::string pending_spaces;
  while (i < text.size()) {
    if (at(text, i) >= 0x80 && i + 1 == text.size()) {
      kept += pending_spaces;  // a dangling byte goes, the spaces before it stay
      pending_spaces.clear();
      break;
    }
    const std::string character = text.substr(i, char_width(text, i));
    if (space_at(text, i)) {
      pending_spaces += character;
    } else {
      kept += pending_spaces + character;
      pending_spaces.clear();
    }
    i += character.size();
  }
  return kept;
}

inline std::string remove_spaces(const std::string& text) {
  std::string kept;
  for (size_t i = 0; i < text.size();) {
    if (at(text, i) >= 0x80 && i + 1 == text.size()) break;
    if (!space_at(text, i)) kept += text.substr(i, char_width(text, i));
    i += char_width(text, i);
  }
  return kept;
}

inline std::string lower(const std::string& text) {
  std::string result = text;
  for (size_t i = 0; i < result.size(); i += char_width(result, i)) {
    if (at(result, i) >= 'A' && at(result, i) <= 'Z')
      result[i] = static_cast<char>(at(result, i) + 32);
  }
  return result;
}

inline std::vector<std::string> split(const std::string& text, const std::string& separator,
                                      std::optional<int32_t> max_pieces) {
  std::vector<std::string> pieces;
  int64_t m = max_pieces ? std::max<int32_t>(*max_pieces, 0) : -1;
  if (text.empty() || m == 0) return pieces;
  if (separator.empty()) return {text};
  const size_t k = separator.size();
  size_t piece_start = 0;
  size_t i = 0;
  while (i + k <= text.size()) {
    if (same_bytes(text, i, separator, false)) {
      pieces.push_back(text.substr(piece_start, i - piece_start));
      i += k;
      piece_start = i;
      if (m > 0 && --m == 0) return pieces;
    } else if (at(text, i) >= 0x80 && i + 1 == text.size()) {
      break;
    } else {
      i += char_width(text, i);
    }
  }
  if (piece_start < text.size()) pieces.push_back(text.substr(piece_start));
  return pieces;
}

}  // namespace tarnwick::reference
