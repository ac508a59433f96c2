// The WinInet layer's GET against a bare libcurl request with a fresh handle, for the same page of
// a local server, in the same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "support/bare_curl_bench.h"
#include "support/test_server.h"
#include "web/wininet.h"

namespace tarnwick {
namespace {

// Opens the three handles, sends a GET and reads the body in 1 KiB pieces, as the page fetch does.
std::string layer_get(uint16_t port) {
  std::string body;
  HINTERNET internet = InternetOpenA("bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection =
      InternetConnectA(internet, "127.0.0.1", port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, "GET", "/page.html", "HTTP/1.1", nullptr,
                                       nullptr, INTERNET_FLAG_RELOAD, 0);
  HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  char chunk[1024];
  uint32_t count = 0;
  while (InternetReadFile(request, chunk, sizeof chunk, &count) && count > 0) {
    body.append(chunk, count);
  }
  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(internet);
  return body;
}

void run_layer(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  wininet_settings().max_body_bytes = 64 * 1024 * 1024;
  TestServer server = TestServer::answering(http_response("200 OK", bench::page_of(size)));
  for (auto _ : state) {
    const std::string body = layer_get(server.port());
    if (body.size() != size) state.SkipWithError("short body");
    benchmark::DoNotOptimize(body.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(run_layer)->Name("wininet/50KiB")->Arg(50 * 1024)->UseRealTime();
BENCHMARK(bench::run_bare_curl)->Name("bare_curl/50KiB")->Arg(50 * 1024)->UseRealTime();
BENCHMARK(run_layer)->Name("wininet/16MiB")->Arg(16 * 1024 * 1024)->UseRealTime();
BENCHMARK(bench::run_bare_curl)->Name("bare_curl/16MiB")->Arg(16 * 1024 * 1024)->UseRealTime();

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
