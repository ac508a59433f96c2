// Start-up and the end of the program.
#pragma once

#include <functional>
#include <memory>

#include "ui/main_window.h"

namespace tarnwick {

// Lets the command layer hook its commands into the window before it is shown.
using CommandInstaller = std::function<void(MainWindow& window)>;

// Shows fatal reports in a box titled "错误" with the error icon. A report from another thread is
// shown by the window's thread while that thread waits; once the window is closing it goes to
// standard error instead. The process then ends with -1.
void install_fatal_presenter();

// Start-up on the thread that made the QApplication, which becomes the window's thread: an
// empty lock registry and its clean-up, the window with its controls, the created event (seeds
// the random generator), the commands, then the window is shown.
std::unique_ptr<MainWindow> start_window(const CommandInstaller& install_commands);

// Clean-ups that run once, when the program ends normally.
void register_cleanup(std::function<void()> cleanup);
void run_cleanups();

// The whole program: start-up, the event loop until the window closes, the clean-ups, and the
// end with exit code 0. It ends the process at once, without waiting for worker threads.
[[noreturn]] void run_program(int argc, char** argv, const CommandInstaller& install_commands);

}  // namespace tarnwick
