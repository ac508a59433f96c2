#include "ui/window_commands.h"

namespace tarnwick {

void install_commands(MainWindow& window, Commands& commands) {
  window.set_commands({
      .start_clicked = [&commands] { commands.start_command(); },
      .stop_clicked = [&commands] { commands.stop_command(); },
      .export_clicked = [&commands] { commands.export_command(); },
      .sample_rows_clicked = [&commands] { commands.sample_rows_command(); },
      .list_right_clicked = [&commands] { commands.list_context_menu(); },
      .delete_marked_chosen = [&commands] { commands.delete_marked_command(); },
  });
}

}  // namespace tarnwick
