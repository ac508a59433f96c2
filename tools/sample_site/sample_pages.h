// The pages of the bundled sample signature site, generated from the page number alone.
#pragma once

#include <cstdint>
#include <vector>

#include "core/text.h"

namespace tarnwick {

inline constexpr int32_t sample_first_page = 100;
inline constexpr int32_t sample_last_page = 9000;

bool sample_page_exists(int32_t page_number);

// One centred paragraph of a page, with what a collection run makes of it.
struct SampleEntry {
  Text markup;     // the bytes between the two markers, surrounding spaces included
  bool listed;     // false for the entries that the run skips
  Text signature;  // the list's signature cell for a listed entry
};

// The entries of a page in page order. A page may close with one empty centred paragraph that
// ends the extraction; it is not an entry and is not listed here.
std::vector<SampleEntry> sample_entries(int32_t page_number);

// The page's markup in code page 936; empty for a page number outside the site.
Text sample_page(int32_t page_number);

}  // namespace tarnwick
