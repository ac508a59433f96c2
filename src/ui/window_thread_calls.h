// Carries work from any thread out on the window's thread, in the order it was handed over:
// a call waits until its work has run, posted work runs later without anyone waiting. The
// window's thread serves the waiting work whenever it takes events: in its event loop, in
// processEvents and in the modal loops of boxes, dialogs and menus.
#pragma once

#include <QObject>
#include <QTimer>
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

  // Hands work over to run on the window's thread and returns without waiting for it; work
  // called or posted later runs after it. Posted work is taken up within a frame rather than at
  // once, so that a caller posting many small pieces does not wake the window's thread for each;
  // a call that waits takes every piece before it along. When many pieces wait, posting another
  // waits until the window's thread has taken them. On the window's thread the work runs at
  // once. False, without running it, once closing has begun; posted work that has not run by
  // then is dropped.
  bool post(std::function<void()> work);

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
    const std::function<void()>* work = nullptr;
    std::atomic<bool> done{false};
    bool ran = false;  // written before done
    bool posted = false;
    std::function<void()> posted_work;  // owned here, as nobody waits for a posted request
  };

  // Serves the waiting work. After a call it watches a while for the caller's next one; after
  // posted work it does not, as the poster has gone off to other work.
  void serve(bool watch_for_more);

  std::mutex mutex_;
  std::condition_variable changed_;  // a call was served, or a waited-for change was made
  std::condition_variable arrived_;  // a call was handed over while the window's thread serves
  std::deque<Request*> waiting_;
  std::atomic<int> waiting_count_{0};  // the size of waiting_, watched without the guard
  bool serve_posted_ = false;
  bool serving_ = false;
  bool posted_take_up_due_ = false;  // posted work will be taken up when the frame timer fires
  int posted_count_ = 0;             // posted requests in waiting_
  QTimer posted_take_up_;
  std::atomic<bool> closing_{false};
};

}  // namespace tarnwick
