// The sample signature site as an HTTP server: GET /qqgexing/N.html for N from 100 to 9000.
// One thread serves one connection after another and closes each after its response.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick {

class SampleSite {
 public:
  SampleSite() = default;
  SampleSite(const SampleSite&) = delete;
  SampleSite& operator=(const SampleSite&) = delete;
  ~SampleSite();

  // Listens on the address and port (0: a free port); false when the socket cannot be bound.
  bool start(const std::string& bind_address = "127.0.0.1", uint16_t port = 0);
  // Closes the socket and ends the serving thread; a response held back by a delay is dropped.
  void stop();

  uint16_t port() const { return port_; }
  // "address:port", as a collection run takes the site's host.
  std::string host() const;

  // Holds back every response this long after its request has arrived.
  void set_delay_ms(int32_t delay_ms) { delay_ms_ = delay_ms; }

  // The path of every request that arrived, in order.
  std::vector<std::string> request_paths() const;

 private:
  void serve();
  void answer(int connection);
  bool wait_for_readable(int fd, int timeout_ms) const;
  bool stopped() const;

  std::string bind_address_;
  uint16_t port_ = 0;
  int listener_ = -1;
  int wake_pipe_[2] = {-1, -1};
  std::atomic<int32_t> delay_ms_{0};
  std::thread server_;

  mutable std::mutex mutex_;
  std::condition_variable stop_signal_;
  bool stopping_ = false;
  std::vector<std::string> request_paths_;
};

}  // namespace tarnwick
