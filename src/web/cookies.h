// Cookie lists held as texts: entries name=value (or a bare name) separated by ";".
#pragma once

#include <cstdint>

#include "core/array.h"
#include "core/text.h"

namespace tarnwick {

// Folds the cookies that a response set into a kept list: the response's entries first, then the
// kept entries whose names it did not set; entries ending in "=deleted" are dropped. Both lists
// lose their spaces; the merged list is stored in cookies and returned.
Text merge_cookies(Text& cookies, Text& new_cookies);

// The trimmed text before the first "=", or the whole entry trimmed.
Text cookie_name(const Text& entry);

bool has_cookie_named(const TextArray& entries, const Text& name);

// The text without every segment that repeats an earlier one.
Text remove_duplicate_segments(const Text& text, const Text& separator);

// 1-based index of the first member equal to text, or -1.
int32_t text_array_index_of(const TextArray& array, const Text& text);

}  // namespace tarnwick
