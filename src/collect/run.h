// The collection run: reads the typed number of random signature pages into the list.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "collect/window_operations.h"
#include "core/text.h"

namespace tarnwick {

// Host (or host:port) of the signature site, fixed when the program is built.
extern const char signature_site_host[];

// A stop request for one run, set by the Stop command on the window's thread.
class RunControl {
 public:
  void request_stop() { stop_requested_.store(true); }
  bool stop_requested() const { return stop_requested_.load(); }
  const std::atomic<bool>& stop_flag() const { return stop_requested_; }

 private:
  std::atomic<bool> stop_requested_{false};
};

// Reads the count from 编辑框1, then that many pages, listing their signatures and showing the
// progress; ends with the resting captions and states. A stop request or a closing window ends
// the run before its next page, and a stop request abandons a fetch in flight; the rows already
// listed stay. The host is given only by tests.
void collection_run(WindowOperations& window, const RunControl& control,
                    const Text& site_host = signature_site_host);

// What the worker thread of one run is given.
struct CollectionStart {
  WindowOperations* window = nullptr;
  std::shared_ptr<RunControl> control;
  Text site_host = signature_site_host;
};

// Start routine for start_thread. Its parameter is a CollectionStart made with new, which the
// routine deletes; when start_thread fails, the caller deletes it:
//   auto start = std::make_unique<CollectionStart>(CollectionStart{&window, control});
//   if (start_thread(collection_thread_entry, reinterpret_cast<intptr_t>(start.get())))
//     start.release();
uint32_t collection_thread_entry(intptr_t parameter);

}  // namespace tarnwick
