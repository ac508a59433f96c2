// Hooks the commands into the window's events.
#pragma once

#include "ui/commands.h"
#include "ui/main_window.h"

namespace tarnwick {

// The commands must live as long as the window.
void install_commands(MainWindow& window, Commands& commands);

}  // namespace tarnwick
