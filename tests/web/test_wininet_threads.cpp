#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/test_server.h"
#include "web/wininet.h"
#include "web/wininet_client.h"

namespace tarnwick {
namespace {

using std::chrono::milliseconds;

class WinInetThreads : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = wininet_settings(); }
  void TearDown() override {
    set_thread_abort_flag(nullptr);
    wininet_settings() = saved_;
  }

 private:
  WinInetSettings saved_;
};

TEST_F(WinInetThreads, ManyRequestsAtOnceGetTheirOwnAnswers) {
  auto server = TestServer::responding([](const RecordedRequest& r) {
    return http_response("200 OK", "answer to " + r.target(), {"Set-Cookie: t=" + r.target()});
  });
  constexpr int kThreads = 6;
  constexpr int kRounds = 8;
  std::vector<std::vector<std::string>> bodies(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        std::string object = "/" + std::to_string(t) + "/" + std::to_string(i);
        bodies[t].push_back(wininet_round("127.0.0.1", server.port(), object, {}).body);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kRounds; ++i) {
      EXPECT_EQ(bodies[t][i], "answer to /" + std::to_string(t) + "/" + std::to_string(i));
    }
  }
  EXPECT_EQ(server.requests().size(), static_cast<size_t>(kThreads * kRounds));
}

// The flag turns true 200 ms after the request arrives. Each server would finish a complete
// answer later than that, so a transfer that ignored the flag would end with the whole page.
TEST_F(WinInetThreads, AbortFlagEndsTheTransferLikeABrokenConnection) {
  struct Case {
    const char* phase;
    Script script;
    bool sent;
  };
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
  const Case cases[] = {
      {"waiting for the headers",
       Script().read_request().pause(milliseconds(1500)).send(head + std::string(100, 'd')), false},
      {"reading the body",
       Script().read_request().send(head).drip(std::string(100, 'd'), 1, milliseconds(30)), true},
  };
  wininet_settings().stall_timeout_ms = 30000;
  for (const Case& c : cases) {
    auto server = TestServer::scripted(c.script);
    std::atomic<bool> abort{false};
    std::thread stopper([&] {
      server.wait_for_requests(1, milliseconds(5000));
      std::this_thread::sleep_for(milliseconds(200));
      abort = true;
    });
    set_thread_abort_flag(&abort);
    WinInetResult result = wininet_round("127.0.0.1", server.port(), "/", {});
    set_thread_abort_flag(nullptr);
    stopper.join();
    EXPECT_EQ(result.sent, c.sent) << c.phase;
    EXPECT_LT(result.body.size(), 100u) << c.phase;
    EXPECT_FALSE(result.last_read_ok) << c.phase;
  }
}

TEST_F(WinInetThreads, RaisedAbortFlagStopsRequestsUntilCleared) {
  std::atomic<bool> abort{true};
  set_thread_abort_flag(&abort);
  auto quick = TestServer::answering(http_response("200 OK", "ok"));
  EXPECT_FALSE(wininet_round("127.0.0.1", quick.port(), "/", {}).sent);
  EXPECT_EQ(quick.requests().size(), 0u);
  set_thread_abort_flag(nullptr);
  EXPECT_EQ(wininet_round("127.0.0.1", quick.port(), "/", {}).body, "ok");
}

TEST_F(WinInetThreads, AbortFlagOfAnotherThreadDoesNotStopThisOne) {
  std::atomic<bool> raised{true};
  auto server = TestServer::answering(http_response("200 OK", "ok"));
  std::thread other([&] { set_thread_abort_flag(&raised); });
  other.join();
  EXPECT_EQ(wininet_round("127.0.0.1", server.port(), "/", {}).body, "ok");
}

}  // namespace
}  // namespace tarnwick
