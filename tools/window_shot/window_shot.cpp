// Saves a picture of the main window as it looks after start-up, with a few rows in the list.
//   xvfb-run -s "-screen 0 1024x768x24" window_shot docs/screenshot.png
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "core/cp936.h"
#include "ui/app.h"
#include "ui/signature_list_model.h"

int main(int argc, char** argv) {
  using namespace tarnwick;
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_shot <file.png>\n");
    return 2;
  }
  QApplication application(argc, argv);
  auto window = start_window(nullptr);
  WindowOperations& ops = window->operations();
  const Text rows[][2] = {{"1", "人生就像一杯茶，不会苦一辈子，但总会苦一阵子"_cp936},
                          {"2", "今天的努力是明天的礼物"_cp936},
                          {"4", "Keep calm and carry on"}};
  for (const auto& cells : rows) {
    const int32_t row = ops.list_insert_row();
    ops.list_set_cell(row, 0, cells[0]);
    ops.list_set_cell(row, 1, cells[1]);
  }
  window->list_model().show_appended_rows();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  return window->grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
