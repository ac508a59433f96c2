// The sample site in this process and the pages drawn from it, for the benchmarks that time a
// collection run against a plain libcurl loop over the same pages.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/random.h"
#include "sample_site/sample_site.h"

namespace tarnwick::bench {

inline constexpr int page_count = 1000;
inline constexpr uint32_t page_seed = 4711;

// Started on first use and left running until the process ends.
inline SampleSite& site() {
  static SampleSite* const running = [] {
    auto* started = new SampleSite;
    if (!started->start()) std::abort();
    return started;
  }();
  return *running;
}

// page_count page numbers between 100 and 9000, drawn after seeding with page_seed.
inline std::vector<int32_t> drawn_pages() {
  seed_random(page_seed);
  std::vector<int32_t> pages;
  for (int i = 0; i < page_count; ++i) pages.push_back(random_between(100, 9000));
  return pages;
}

}  // namespace tarnwick::bench
