#include "ui/window_thread_calls.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <chrono>
#include <memory>
#include <vector>

namespace tarnwick {

namespace {

const QEvent::Type serve_event_type = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type take_up_posted_event_type =
    static_cast<QEvent::Type>(QEvent::registerEventType());

// Posted work waits at most this long, about a frame, before the window's thread takes it up.
constexpr auto posted_take_up_delay = std::chrono::milliseconds(10);
// With this many posted pieces waiting, posting waits until the window's thread has taken them.
constexpr int most_posted_waiting = 256;

// A worker that calls in a loop hands its next call over within microseconds; the window's
// thread waits that long for it before it goes back to its events, which saves the wake-up of
// the event loop per call. A burst of calls never keeps the events waiting for long.
constexpr auto linger_for_next_call = std::chrono::microseconds(200);
constexpr auto longest_burst = std::chrono::milliseconds(8);

// Before either side sleeps it watches for a while: when both threads have a core, the answer or
// the next call comes within that time and neither pays for sleeping and waking. Work such as a
// caption change or a page of rows takes tens of microseconds on the window's thread, and a
// wake-up costs as much again on a busy machine.
constexpr auto watch_for_answer = std::chrono::microseconds(60);
constexpr auto watch_for_next_call = std::chrono::microseconds(60);

template <typename Ready>
bool watch(std::chrono::microseconds how_long, Ready ready) {
  const auto end = std::chrono::steady_clock::now() + how_long;
  for (;;) {
    for (int round = 0; round < 16; ++round) {
      if (ready()) return true;
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
    }
    if (std::chrono::steady_clock::now() >= end) return ready();
  }
}

}  // namespace

WindowThreadCalls::WindowThreadCalls(QObject* parent) : QObject(parent), posted_take_up_(this) {
  posted_take_up_.setSingleShot(true);
  posted_take_up_.setInterval(posted_take_up_delay);
  connect(&posted_take_up_, &QTimer::timeout, this, [this] { serve(false); });
}

WindowThreadCalls::~WindowThreadCalls() { begin_closing(); }

bool WindowThreadCalls::on_window_thread() const { return QThread::currentThread() == thread(); }

bool WindowThreadCalls::call(const std::function<void()>& work) {
  if (on_window_thread()) {
    work();
    return true;
  }
  Request request;
  request.work = &work;
  std::unique_lock lock(mutex_);
  if (closing()) return false;
  waiting_.push_back(&request);
  waiting_count_.store(static_cast<int>(waiting_.size()), std::memory_order_release);
  const bool wake = serving_;
  if (!serving_ && !serve_posted_) {
    serve_posted_ = true;
    QCoreApplication::postEvent(this, new QEvent(serve_event_type));
  }
  // Woken after the guard is given back, so the window's thread does not wake only to wait for
  // the guard.
  lock.unlock();
  if (wake) arrived_.notify_one();
  const auto done = [&] { return request.done.load(std::memory_order_acquire); };
  if (!watch(watch_for_answer, done)) {
    lock.lock();
    changed_.wait(lock, done);
    lock.unlock();
  }
  return request.ran;  // written before done
}

bool WindowThreadCalls::post(std::function<void()> work) {
  if (on_window_thread()) {
    work();
    return true;
  }
  auto request = std::make_unique<Request>();
  request->posted = true;
  request->posted_work = std::move(work);
  request->work = &request->posted_work;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return closing() || posted_count_ < most_posted_waiting; });
  if (closing()) return false;
  ++posted_count_;
  waiting_.push_back(request.release());
  waiting_count_.store(static_cast<int>(waiting_.size()), std::memory_order_release);
  if (posted_count_ == most_posted_waiting && !serve_posted_) {
    serve_posted_ = true;
    QCoreApplication::postEvent(this, new QEvent(serve_event_type));
  } else if (!serve_posted_ && !posted_take_up_due_) {
    posted_take_up_due_ = true;
    QCoreApplication::postEvent(this, new QEvent(take_up_posted_event_type));
  }
  return true;
}

void WindowThreadCalls::change_and_wake(const std::function<void()>& change) {
  {
    std::lock_guard lock(mutex_);
    change();
  }
  changed_.notify_all();
}

bool WindowThreadCalls::wait_until(const std::function<bool()>& ready) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return closing() || ready(); });
  return ready();
}

void WindowThreadCalls::begin_closing() {
  std::vector<std::unique_ptr<Request>> dropped;
  {
    std::lock_guard lock(mutex_);
    closing_.store(true, std::memory_order_release);
    for (Request* request : waiting_) {
      if (request->posted) {
        dropped.emplace_back(request);
      } else {
        request->done.store(true, std::memory_order_release);
      }
    }
    waiting_.clear();
    waiting_count_.store(0, std::memory_order_release);
    posted_count_ = 0;
  }
  dropped.clear();
  changed_.notify_all();
  arrived_.notify_all();
}

int WindowThreadCalls::waiting() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(waiting_.size());
}

bool WindowThreadCalls::event(QEvent* event) {
  // A serve event is made by a worker under the guard and handed over through Qt's queue, whose
  // own guard the thread checker does not see; passing through ours orders this read after it.
  { std::lock_guard lock(mutex_); }
  if (event->type() == take_up_posted_event_type) {
    if (!posted_take_up_.isActive()) posted_take_up_.start();
    return true;
  }
  if (event->type() != serve_event_type) return QObject::event(event);
  serve(true);
  return true;
}

// Work may open a modal loop that takes events, so the guard is not held while it runs, and a
// call handed over meanwhile posts a fresh serve event.
void WindowThreadCalls::serve(bool watch_for_more) {
  const auto burst_end = std::chrono::steady_clock::now() + longest_burst;
  std::unique_lock lock(mutex_);
  serve_posted_ = false;
  posted_take_up_due_ = false;
  for (;;) {
    if (waiting_.empty()) {
      if (!watch_for_more) return;
      serving_ = true;
      lock.unlock();
      const bool arrived = watch(watch_for_next_call, [&] {
        return waiting_count_.load(std::memory_order_acquire) > 0 || closing();
      });
      lock.lock();
      if (!arrived) {
        arrived_.wait_for(lock, linger_for_next_call,
                          [&] { return !waiting_.empty() || closing(); });
      }
      serving_ = false;
      if (waiting_.empty()) return;
    }
    if (std::chrono::steady_clock::now() >= burst_end) {
      if (!serve_posted_) {
        serve_posted_ = true;
        QCoreApplication::postEvent(this, new QEvent(serve_event_type));
      }
      return;
    }
    Request* request = waiting_.front();
    waiting_.pop_front();
    waiting_count_.store(static_cast<int>(waiting_.size()), std::memory_order_release);
    lock.unlock();
    (*request->work)();
    watch_for_more = !request->posted;
    std::unique_ptr<Request> finished_post;
    lock.lock();
    if (request->posted) {
      finished_post.reset(request);
      --posted_count_;
    } else {
      request->ran = true;
      request->done.store(true, std::memory_order_release);  // the caller may leave at once
    }
    lock.unlock();
    changed_.notify_all();
    finished_post.reset();
    lock.lock();
  }
}

}  // namespace tarnwick
