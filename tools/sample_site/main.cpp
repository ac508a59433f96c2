// tarnwick_sample_site [--port N] [--bind ADDR] [--delay-ms N]
// Serves the sample signature pages until it receives SIGINT or SIGTERM.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "sample_site/sample_site.h"

namespace {

bool parse_number(std::string_view text, int64_t lowest, int64_t highest, int64_t& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= lowest &&
         value <= highest;
}

int usage() {
  std::fprintf(stderr, "usage: tarnwick_sample_site [--port N] [--bind ADDR] [--delay-ms N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int64_t port = 18936;
  int64_t delay_ms = 0;
  std::string bind_address = "127.0.0.1";
  for (int i = 1; i < argc; ++i) {
    std::string_view option = argv[i];
    if (i + 1 >= argc) return usage();
    std::string_view value = argv[++i];
    if (option == "--port") {
      if (!parse_number(value, 0, 65535, port)) return usage();
    } else if (option == "--delay-ms") {
      if (!parse_number(value, 0, 3'600'000, delay_ms)) return usage();
    } else if (option == "--bind") {
      bind_address = value;
    } else {
      return usage();
    }
  }

  // Blocked before the serving thread starts, so that only sigwait below receives them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  tarnwick::SampleSite site;
  site.set_delay_ms(static_cast<int32_t>(delay_ms));
  if (!site.start(bind_address, static_cast<uint16_t>(port))) {
    std::fprintf(stderr, "tarnwick_sample_site: cannot listen on %s:%lld\n", bind_address.c_str(),
                 static_cast<long long>(port));
    return 1;
  }
  std::printf("tarnwick_sample_site listening on http://%s/qqgexing/100.html (pages 100 to 9000)\n",
              site.host().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stop_signals, &received);
  site.stop();
  return 0;
}
