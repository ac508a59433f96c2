// The baseline of the fetch benchmarks: a page of a local server fetched by plain_curl_get, to
// be measured in the same run as the client under test fetches the same page.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

#include "support/plain_curl.h"
#include "support/test_server.h"

namespace tarnwick::bench {

// size bytes of the letters a to z, repeated.
inline std::string page_of(size_t size) {
  std::string page(size, '\0');
  for (size_t i = 0; i < size; ++i) page[i] = static_cast<char>('a' + i % 26);
  return page;
}

// Fetches a page of state.range(0) bytes from a local server, once per iteration.
inline void run_bare_curl(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  TestServer server = TestServer::answering(http_response("200 OK", page_of(size)));
  const std::string url = server.url("/page.html");
  for (auto _ : state) {
    const std::string body = plain_curl_get(url);
    if (body.size() != size) state.SkipWithError("short body");
    benchmark::DoNotOptimize(body.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

}  // namespace tarnwick::bench
