// The WinInet layer's GET against a bare libcurl request with a fresh handle, for the same page of
// a local server, in the same run.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdint>
#include <string>

#include "support/test_server.h"
#include "web/wininet.h"

namespace tarnwick {
namespace {

std::string page_of(size_t size) {
  std::string page(size, '\0');
  for (size_t i = 0; i < size; ++i) page[i] = static_cast<char>('a' + i % 26);
  return page;
}

size_t append_to_string(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

std::string curl_get(const std::string& url) {
  std::string body;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, append_to_string);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return body;
}

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
  TestServer server = TestServer::answering(http_response("200 OK", page_of(size)));
  for (auto _ : state) {
    const std::string body = layer_get(server.port());
    if (body.size() != size) state.SkipWithError("short body");
    benchmark::DoNotOptimize(body.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void run_bare_curl(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  TestServer server = TestServer::answering(http_response("200 OK", page_of(size)));
  const std::string url = server.url("/page.html");
  for (auto _ : state) {
    const std::string body = curl_get(url);
    if (body.size() != size) state.SkipWithError("short body");
    benchmark::DoNotOptimize(body.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(run_layer)->Name("wininet/50KiB")->Arg(50 * 1024)->UseRealTime();
BENCHMARK(run_bare_curl)->Name("bare_curl/50KiB")->Arg(50 * 1024)->UseRealTime();
BENCHMARK(run_layer)->Name("wininet/16MiB")->Arg(16 * 1024 * 1024)->UseRealTime();
BENCHMARK(run_bare_curl)->Name("bare_curl/16MiB")->Arg(16 * 1024 * 1024)->UseRealTime();

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
