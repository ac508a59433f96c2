#include "ui/window_thread_calls.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <chrono>

namespace tarnwick {

namespace {

const QEvent::Type serve_event_type = static_cast<QEvent::Type>(QEvent::registerEventType());

// A worker that calls in a loop hands its next call over within microseconds; the window's
// thread waits that long for it before it goes back to its events, which saves the wake-up of
// the event loop per call. A burst of calls never keeps the events waiting for long.
constexpr auto linger_for_next_call = std::chrono::microseconds(200);
constexpr auto longest_burst = std::chrono::milliseconds(8);

}  // namespace

WindowThreadCalls::WindowThreadCalls(QObject* parent) : QObject(parent) {}

WindowThreadCalls::~WindowThreadCalls() { begin_closing(); }

bool WindowThreadCalls::on_window_thread() const { return QThread::currentThread() == thread(); }

bool WindowThreadCalls::call(const std::function<void()>& work) {
  if (on_window_thread()) {
    work();
    return true;
  }
  Request request{&work};
  std::unique_lock lock(mutex_);
  if (closing()) return false;
  waiting_.push_back(&request);
  if (serving_) {
    arrived_.notify_one();
  } else if (!serve_posted_) {
    serve_posted_ = true;
    QCoreApplication::postEvent(this, new QEvent(serve_event_type));
  }
  changed_.wait(lock, [&] { return request.done; });
  return request.ran;
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
  {
    std::lock_guard lock(mutex_);
    closing_.store(true, std::memory_order_release);
    for (Request* request : waiting_) request->done = true;
    waiting_.clear();
  }
  changed_.notify_all();
  arrived_.notify_all();
}

int WindowThreadCalls::waiting() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(waiting_.size());
}

bool WindowThreadCalls::event(QEvent* event) {
  if (event->type() != serve_event_type) return QObject::event(event);
  serve();
  return true;
}

// Work may open a modal loop that takes events, so the guard is not held while it runs, and a
// call handed over meanwhile posts a fresh serve event.
void WindowThreadCalls::serve() {
  const auto burst_end = std::chrono::steady_clock::now() + longest_burst;
  std::unique_lock lock(mutex_);
  serve_posted_ = false;
  for (;;) {
    if (waiting_.empty()) {
      serving_ = true;
      arrived_.wait_for(lock, linger_for_next_call, [&] { return !waiting_.empty() || closing(); });
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
    lock.unlock();
    (*request->work)();
    lock.lock();
    request->ran = true;
    request->done = true;
    changed_.notify_all();
  }
}

}  // namespace tarnwick
