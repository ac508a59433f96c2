#include <memory>

#include "ui/app.h"
#include "ui/commands.h"
#include "ui/window_commands.h"

int main(int argc, char** argv) {
  using namespace tarnwick;
  std::unique_ptr<Commands> commands;  // lives until the process ends, as the window does
  run_program(argc, argv, [&commands](MainWindow& window) {
    commands = std::make_unique<Commands>(window.operations());
    install_commands(window, *commands);
  });
}
