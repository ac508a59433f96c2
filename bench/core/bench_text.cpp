#include <benchmark/benchmark.h>

#include <strings.h>

#include <cstring>
#include <vector>

#include "core/bytes.h"
#include "support/markup_page.h"
#include "core/text.h"

namespace tarnwick {
namespace {

constexpr size_t kMiB = 1 << 20;

const Text& page_with_markers() {
  static const Text page(bench::PageWriter(1).page(kMiB, true));
  return page;
}

const Text& page_without_markers() {
  static const Text page(bench::PageWriter(2).page(kMiB, false));
  return page;
}

// Every occurrence of the marker, ignoring case, from the start of the page to its end.
void BM_FindMarker(benchmark::State& state, const Text& page) {
  const Text marker(bench::kLeftMarker);
  int32_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (int32_t at = find_text(page, marker, true); at > 0;
         at = find_text(page, marker, at + 1, true)) {
      ++found;
    }
    benchmark::DoNotOptimize(found);
  }
  state.counters["found"] = found;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.length());
}

void BM_StrcasestrMarker(benchmark::State& state, const Text& page) {
  int32_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (const char* at = strcasestr(page.c_str(), bench::kLeftMarker); at != nullptr;
         at = strcasestr(at + 1, bench::kLeftMarker)) {
      ++found;
    }
    benchmark::DoNotOptimize(found);
  }
  state.counters["found"] = found;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.length());
}

BENCHMARK_CAPTURE(BM_FindMarker, page, page_with_markers());
BENCHMARK_CAPTURE(BM_StrcasestrMarker, page, page_with_markers());
BENCHMARK_CAPTURE(BM_FindMarker, no_match, page_without_markers());
BENCHMARK_CAPTURE(BM_StrcasestrMarker, no_match, page_without_markers());

void BM_AppendChunks(benchmark::State& state) {
  const std::vector<char> chunk(1024, 'x');
  const int64_t total = state.range(0);
  for (auto _ : state) {
    ByteString body;
    for (int64_t done = 0; done < total; done += 1024) body.append(chunk.data(), 1024);
    benchmark::DoNotOptimize(body.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * total);
}

BENCHMARK(BM_AppendChunks)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
