// fetch_page against a bare libcurl request with a fresh handle, for the same page of a local
// server, in the same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "support/bare_curl_bench.h"
#include "support/test_server.h"
#include "web/fetch.h"
#include "web/wininet.h"

namespace tarnwick {
namespace {

void run_fetch_page(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  wininet_settings().max_body_bytes = 64 * 1024 * 1024;
  TestServer server = TestServer::answering(http_response("200 OK", bench::page_of(size)));
  const Text url(server.url("/page.html"));
  for (auto _ : state) {
    const ByteString body = fetch_page(url);
    if (static_cast<size_t>(body.length()) != size) state.SkipWithError("short body");
    benchmark::DoNotOptimize(body.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(run_fetch_page)->Name("fetch_page/50KiB")->Arg(50 * 1024)->UseRealTime();
BENCHMARK(bench::run_bare_curl)->Name("bare_curl/50KiB")->Arg(50 * 1024)->UseRealTime();
BENCHMARK(run_fetch_page)->Name("fetch_page/16MiB")->Arg(16 * 1024 * 1024)->UseRealTime();
BENCHMARK(bench::run_bare_curl)->Name("bare_curl/16MiB")->Arg(16 * 1024 * 1024)->UseRealTime();

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
