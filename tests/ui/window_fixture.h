// A window, a worker thread that calls its operations, and the helpers the cross-thread window
// tests share. Each test class makes the window in its own SetUp.
#pragma once

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "ui/main_window.h"
#include "ui/window_thread_calls.h"

namespace tarnwick::testing {

class WindowFixture : public ::testing::Test {
 protected:
  void TearDown() override {
    if (worker_.joinable()) worker_.join();
    window_.reset();
  }

  WindowOperations& ops() { return window_->operations(); }
  WindowThreadCalls& calls() { return window_->thread_calls(); }

  // Runs the window's event loop until the worker has finished. The loop watches a flag for the
  // worker's end rather than take a queued call from it: Qt's queue hands the call over under a
  // guard that ThreadSanitizer does not see.
  void run_worker_under_event_loop(std::function<void()> work) {
    std::atomic<bool> finished{false};
    worker_ = std::thread([&finished, work = std::move(work)] {
      work();
      finished.store(true, std::memory_order_release);
    });
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
      if (finished.load(std::memory_order_acquire)) loop.quit();
    });
    watch.start(1);
    loop.exec();
    worker_.join();
  }

  // Holds the window's thread away from events until the worker's call waits for it.
  void wait_for_waiting_call() {
    for (int spins = 0; calls().waiting() == 0 && spins < 50'000'000; ++spins) {
      std::this_thread::yield();
    }
    ASSERT_EQ(calls().waiting(), 1);
  }

  std::unique_ptr<MainWindow> window_;
  std::thread worker_;
};

}  // namespace tarnwick::testing
