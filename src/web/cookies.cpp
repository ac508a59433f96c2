#include "web/cookies.h"

#include <string>

namespace tarnwick {

namespace {

constexpr std::string_view deletion_marker = "=deleted";

bool is_deleted(const Text& entry) { return text_right(entry, 8).view() == deletion_marker; }

Text without_last(const std::string& joined, size_t separator_length) {
  if (joined.size() <= separator_length) return {};
  return Text(std::string_view(joined).substr(0, joined.size() - separator_length));
}

}  // namespace

Text merge_cookies(Text& cookies, Text& new_cookies) {
  cookies = remove_all_spaces(cookies);
  new_cookies = remove_all_spaces(new_cookies);

  const TextArray old_entries = split_text(cookies, ";");
  TextArray entries = split_text(new_cookies, ";");
  for (const Text& entry : old_entries) {
    if (!has_cookie_named(entries, cookie_name(entry))) entries.append(entry);
  }

  std::string joined;
  for (const Text& entry : entries) {
    if (is_deleted(entry)) continue;
    joined.append(entry.view());
    joined.append("; ");
  }

  cookies = remove_duplicate_segments(without_last(joined, 2), "; ");
  return cookies;
}

Text cookie_name(const Text& entry) {
  const int32_t equals = find_text(entry, "=", false);
  return trim_both(equals == -1 ? entry : text_left(entry, equals - 1));
}

bool has_cookie_named(const TextArray& entries, const Text& name) {
  for (const Text& entry : entries) {
    if (cookie_name(entry) == name) return true;
  }
  return false;
}

Text remove_duplicate_segments(const Text& text, const Text& separator) {
  TextArray seen;
  std::string result;
  for (const Text& segment : split_text(text, separator)) {
    if (text_array_index_of(seen, segment) != -1) continue;
    seen.append(segment);
    result.append(segment.view());
    result.append(separator.view());
  }
  return without_last(result, static_cast<size_t>(text_length(separator)));
}

int32_t text_array_index_of(const TextArray& array, const Text& text) {
  for (int32_t index = 1; index <= array.size(); ++index) {
    if (array.at(index) == text) return index;
  }
  return -1;
}

}  // namespace tarnwick
