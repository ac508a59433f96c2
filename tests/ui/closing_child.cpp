// The program with workers that keep using the window, for tests that watch how it ends.
//   close-during-run  workers append rows, wait in a long fetch and in a message box while the
//                     window closes after a moment
//   fatal-on-worker   a worker stops the program with a fatal error; the report box is read
//                     and closed from the window's thread
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "core/cp936.h"
#include "core/fatal.h"
#include "ui/app.h"
#include "ui/qt_text.h"

using namespace tarnwick;

namespace {

void close_during_run(MainWindow& window) {
  WindowOperations* ops = &window.operations();
  std::thread([ops] {
    for (int i = 0;; ++i) {
      const int32_t row = ops->list_insert_row();
      ops->list_set_cell(row, 1, "signature");
      ops->set_caption(Control::按钮1, "running");
      if (i % 64 == 0) ops->process_events();
    }
  }).detach();
  std::thread([ops] {
    std::this_thread::sleep_for(std::chrono::seconds(60));  // a fetch that takes its time
    ops->list_insert_row();
  }).detach();
  std::thread([ops] { ops->show_message("a worker's box", 0); }).detach();
  QTimer::singleShot(300, &window, &QWidget::close);
}

void fatal_on_worker(MainWindow& window) {
  auto* poll = new QTimer(&window);
  QObject::connect(poll, &QTimer::timeout, poll, [poll] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible()) continue;
      poll->stop();
      std::printf("box %s %s\n", cp936_to_utf8(to_text(box->windowTitle())).c_str(),
                  box->icon() == QMessageBox::Critical ? "critical" : "other");
      std::fflush(stdout);
      box->button(QMessageBox::Ok)->click();
      return;
    }
  });
  poll->start(10);
  std::thread([] { fatal_error(0, "worker failed"); }).detach();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  register_cleanup([] { std::fputs("cleanup\n", stdout); });
  run_program(argc, argv, [&mode](MainWindow& window) {
    if (mode == "close-during-run") close_during_run(window);
    if (mode == "fatal-on-worker") fatal_on_worker(window);
  });
}
