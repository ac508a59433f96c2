// The fatal error stop: a report box, then the end of the process with exit code -1.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tarnwick {

class Text;

// Shows the report; installed by the window layer. Until then the report goes to standard error.
using FatalPresenter = std::function<void(const Text& report)>;
void set_fatal_presenter(FatalPresenter presenter);

// "运行时出错!" with the optional code and message lines, in code page 936.
Text fatal_report(int32_t code, const Text& message);

// Presents the report and ends the process at once, without the normal-end clean-ups.
[[noreturn]] void fatal_error(int32_t code, const Text& message);

}  // namespace tarnwick
