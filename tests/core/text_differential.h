// One input for the searching text operations, and the check of all of them against the
// reference forms; shared by the generated-input test and the fuzz target.
#pragma once

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

#include "core/text.h"
#include "core/text_reference.h"

namespace tarnwick {

struct DifferentialCase {
  std::string text;
  std::string sought;
  std::string replacement;
  int32_t start = 0;
  int32_t count = -1;
  bool flag = false;
  std::optional<int32_t> max_pieces;
};

inline std::string hex(const std::string& bytes) {
  std::ostringstream out;
  out << std::hex;
  for (unsigned char c : bytes) out << static_cast<int>(c) << ' ';
  return out.str();
}

inline std::string describe(const DifferentialCase& c) {
  return "text=[" + hex(c.text) + "] sought=[" + hex(c.sought) +
         "] start=" + std::to_string(c.start) + " count=" + std::to_string(c.count) +
         " flag=" + std::to_string(c.flag);
}

// The name of the first operation whose result differs from the reference, or "".
inline std::string first_difference(const DifferentialCase& c) {
  const Text text(c.text);
  const Text sought(c.sought);
  const Text replacement(c.replacement);
  if (find_text(text, sought, c.flag) != reference::find(c.text, c.sought, std::nullopt, c.flag)) {
    return "find_text";
  }
  if (find_text(text, sought, c.start, c.flag) !=
      reference::find(c.text, c.sought, c.start, c.flag)) {
    return "find_text from start";
  }
  if (find_text_reverse(text, sought, c.flag) !=
      reference::find_reverse(c.text, c.sought, std::nullopt, c.flag)) {
    return "find_text_reverse";
  }
  if (find_text_reverse(text, sought, c.start, c.flag) !=
      reference::find_reverse(c.text, c.sought, c.start, c.flag)) {
    return "find_text_reverse from start";
  }
  if (replace_text(text, sought, replacement, c.start, c.count, c.flag).str() !=
      reference::replace(c.text, c.sought, c.replacement, c.start, c.count, c.flag)) {
    return "replace_text";
  }
  if (trim_both(text).str() != reference::trim(c.text)) return "trim_both";
  if (remove_all_spaces(text).str() != reference::remove_spaces(c.text)) {
    return "remove_all_spaces";
  }
  if (to_lower(text).str() != reference::lower(c.text)) return "to_lower";
  const TextArray pieces = split_text(text, sought, c.max_pieces);
  const auto expected = reference::split(c.text, c.sought, c.max_pieces);
  if (pieces.size() != static_cast<int32_t>(expected.size())) return "split_text count";
  for (int32_t i = 1; i <= pieces.size(); ++i) {
    if (pieces.at(i).str() != expected[static_cast<size_t>(i - 1)]) return "split_text piece";
  }
  return "";
}

}  // namespace tarnwick
