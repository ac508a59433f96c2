// fetch_page against a bare libcurl request with a fresh handle, for the same page of a local
// server, in the same run.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdint>
#include <string>

#include "support/test_server.h"
#include "web/fetch.h"
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

void run_fetch_page(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  wininet_settings().max_body_bytes = 64 * 1024 * 1024;
  TestServer server = TestServer::answering(http_response("200 OK", page_of(size)));
  const Text url(server.url("/page.html"));
  for (auto _ : state) {
    const ByteString body = fetch_page(url);
    if (static_cast<size_t>(body.length()) != size) state.SkipWithError("short body");
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

BENCHMARK(run_fetch_page)->Name("fetch_page/50KiB")->Arg(50 * 1024)->UseRealTime();
BENCHMARK(run_bare_curl)->Name("bare_curl/50KiB")->Arg(50 * 1024)->UseRealTime();
BENCHMARK(run_fetch_page)->Name("fetch_page/16MiB")->Arg(16 * 1024 * 1024)->UseRealTime();
BENCHMARK(run_bare_curl)->Name("bare_curl/16MiB")->Arg(16 * 1024 * 1024)->UseRealTime();

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
