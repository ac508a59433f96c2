// What the window's buttons and menu run. The commands use the window only through its
// operations, so they run the same against the real window and against a test double.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "collect/locks.h"
#include "collect/run.h"
#include "collect/window_operations.h"
#include "core/text.h"

namespace tarnwick {

// The row value that marks a row for delete_marked_command.
inline constexpr int32_t marked_row_value = 888;

using ThreadStarter = std::function<bool(ThreadRoutine routine, intptr_t parameter)>;

class Commands {
 public:
  // The site host and the thread starter are given only by tests.
  explicit Commands(WindowOperations& window, Text site_host = signature_site_host,
                    ThreadStarter start = default_thread_starter());

  // 按钮1: starts a collection run on a worker thread, unless the count box is empty.
  void start_command();
  // 按钮2: asks the run that is going on to stop before its next page.
  void stop_command();
  // 按钮4: writes the signature column into a file chosen in the save dialog.
  void export_command();
  // Right-click in the list: the popup menu with "删除重复".
  void list_context_menu();
  // "删除重复": marks every row whose signature an earlier row already holds, then deletes the
  // marked rows from the last to the first.
  void delete_marked_command();
  // 按钮3: fifteen rows of small random numbers, drawn from a generator seeded with the uptime.
  void sample_rows_command();

 private:
  static ThreadStarter default_thread_starter();
  void show_resting_or_start_look();

  WindowOperations& window_;
  Text site_host_;
  ThreadStarter start_thread_;
  std::shared_ptr<RunControl> current_run_;
  bool a_run_was_started_ = false;
};

}  // namespace tarnwick
