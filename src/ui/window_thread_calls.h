// Carries work from any thread out on the window's thread while the caller waits, in call
// order. The window's thread serves the waiting work whenever it takes events: in its event
// loop, in processEvents and in the modal loops of boxes, dialogs and menus.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace tarnwick {

class WindowThreadCalls : public QObject {
 public:
  explicit WindowThreadCalls(QObject* parent = nullptr);
  ~WindowThreadCalls() override;

  bool on_window_thread() const;

  // Runs work on the window's thread and returns once it has run: at once on the window's thread,
  // otherwise by handing it over and waiting. False, without running it, once closing has begun.
  bool call(const std::function<void()>& work);

  // Makes the change under the guard that waiters check, then wakes every waiter.
  void change_and_wake(const std::function<void()>& change);
  // Waits until ready() holds, checked under that guard; false when closing began first.
  bool wait_until(const std::function<bool()>& ready);

  // From now on no work is handed over, and every caller still waiting is released.
  void begin_closing();
  bool closing() const { return closing_.load(std::memory_order_acquire); }

  // How many callers are waiting for their work to be taken up.
  int waiting();

 protected:
  bool event(QEvent* event) override;

 private:
  struct Request {
    const std::function<void()>* work;
    std::atomic<bool> done{false};
    bool ran = false;  // written before done
  };

  void serve();

  std::mutex mutex_;
  std::condition_variable changed_;  // a call was served, or a waited-for change was made
  std::condition_variable arrived_;  // a call was handed over while the window's thread serves
  std::deque<Request*> waiting_;
  std::atomic<int> waiting_count_{0};  // the size of waiting_, watched without the guard
  bool serve_posted_ = false;
  bool serving_ = false;
  std::atomic<bool> closing_{false};
};

}  // namespace tarnwick
