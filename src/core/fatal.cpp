#include "core/fatal.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <new>

#include "core/cp936.h"
#include "core/numbers.h"
#include "core/text.h"

namespace tarnwick {

namespace {

void write_to_standard_error(const Text& report) {
  const std::string utf8 = cp936_to_utf8(report);
  const char* data = utf8.data();
  size_t left = utf8.size();
  while (left > 0) {
    const ssize_t written = ::write(STDERR_FILENO, data, left);
    if (written <= 0) break;
    data += written;
    left -= static_cast<size_t>(written);
  }
}

struct FatalState {
  std::mutex presenter_mutex;
  FatalPresenter presenter = write_to_standard_error;
  std::mutex stop_mutex;  // taken by the first stop and never given back
};

// Never destroyed: a worker thread may still stop the program while its normal end runs.
FatalState& fatal_state() {
  static FatalState* const state = new FatalState;
  return *state;
}

const Text& report_title() { return "运行时出错!"_cp936; }
const Text& code_label() { return "错误代码："_cp936; }
const Text& message_label() { return "错误信息："_cp936; }
const Text& allocation_message() { return "分配 %d 字节内存失败!"_cp936; }

// The texts of the report are converted at start-up, so that a stop for want of memory does not
// need the converter.
const bool report_texts_ready = [] {
  fatal_state();
  report_title();
  code_label();
  message_label();
  allocation_message();
  return true;
}();

}  // namespace

void set_fatal_presenter(FatalPresenter presenter) {
  FatalState& state = fatal_state();
  std::lock_guard lock(state.presenter_mutex);
  state.presenter = presenter ? std::move(presenter) : FatalPresenter(write_to_standard_error);
}

Text fatal_report(int32_t code, const Text& message) {
  const Text line_breaks = "\r\n\r\n";
  Text report = concat_text(report_title(), line_breaks);
  if (code != 0) report = concat_text(report, code_label(), int_to_text(code), line_breaks);
  if (!message.empty()) report = concat_text(report, message_label(), message, "\r\n");
  return report;
}

void fatal_error(int32_t code, const Text& message) {
  thread_local bool stopping = false;
  if (stopping) std::_Exit(-1);  // the presenter itself failed
  stopping = true;
  (void)report_texts_ready;

  FatalState& state = fatal_state();
  // A second thread that fails while the first one presents its report waits for the end.
  state.stop_mutex.lock();
  FatalPresenter presenter;
  {
    std::lock_guard lock(state.presenter_mutex);
    presenter = state.presenter;
  }
  presenter(fatal_report(code, message));
  std::_Exit(-1);
}

}  // namespace tarnwick

// The program stops with the allocation report when memory runs out. Sanitizer builds keep their
// own allocator, which reports the failure itself.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARNWICK_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define TARNWICK_SANITIZER_ALLOCATOR 1
#endif
#endif

#ifndef TARNWICK_SANITIZER_ALLOCATOR

namespace {

[[noreturn]] void stop_for_memory(std::size_t size) {
  using namespace tarnwick;
  fatal_error(0, replace_text(allocation_message(), "%d",
                              Text(std::to_string(static_cast<unsigned long long>(size))), true));
}

void* allocate(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* memory = std::malloc(size)) return memory;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) stop_for_memory(size);
    handler();
  }
}

void* allocate_aligned(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t rounded = ((size == 0 ? 1 : size) + align - 1) / align * align;
  for (;;) {
    if (void* memory = std::aligned_alloc(align, rounded)) return memory;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) stop_for_memory(size);
    handler();
  }
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return allocate_aligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return allocate_aligned(size, alignment);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

#endif
