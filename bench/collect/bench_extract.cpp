#include <benchmark/benchmark.h>

#include "collect/extract.h"
#include "support/markup_page.h"

namespace tarnwick {
namespace {

// What the collection run does with one page: cut the entries, then clean each of them.
void BM_ExtractAndClean(benchmark::State& state) {
  const Text page(bench::PageWriter(3).page(static_cast<size_t>(state.range(0)), true));
  const Text left(bench::kLeftMarker);
  const Text right(bench::kRightMarker);
  TextArray entries;
  int32_t count = 0;
  for (auto _ : state) {
    count = extract_all_between(page, left, right, entries);
    for (const Text& entry : entries) benchmark::DoNotOptimize(clean_signature(entry));
  }
  state.counters["entries"] = count;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.length());
}

BENCHMARK(BM_ExtractAndClean)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
