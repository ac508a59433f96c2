#include "ui/app.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <vector>

#include "collect/locks.h"
#include "core/cp936.h"
#include "core/fatal.h"
#include "core/random.h"
#include "ui/qt_text.h"
#include "ui/window_thread_calls.h"

namespace tarnwick {

namespace {

std::atomic<WindowThreadCalls*> window_calls{nullptr};

std::mutex cleanup_mutex;
std::vector<std::function<void()>>& cleanups() {
  static auto* const registered = new std::vector<std::function<void()>>;
  return *registered;
}

void show_fatal_box(const Text& report) {
  QMessageBox box(QMessageBox::Critical, to_qstring("错误"_cp936), to_qstring(report),
                  QMessageBox::Ok);
  box.exec();
}

void present_fatal_report(const Text& report) {
  WindowThreadCalls* calls = window_calls.load();
  if (calls == nullptr) {
    if (qApp != nullptr && QThread::currentThread() == qApp->thread())
      show_fatal_box(report);
    else
      std::cerr << cp936_to_utf8(report) << std::endl;
    return;
  }
  if (!calls->call([&] { show_fatal_box(report); })) {
    std::cerr << cp936_to_utf8(report) << std::endl;
  }
}

}  // namespace

void install_fatal_presenter() { set_fatal_presenter(present_fatal_report); }

std::unique_ptr<MainWindow> start_window(const CommandInstaller& install_commands) {
  create_lock_registry();
  register_cleanup(release_lock_registry);

  if (QGuiApplication::primaryScreen() == nullptr) fatal_error(0, "载入启动窗口失败"_cp936);
  auto window = std::make_unique<MainWindow>();
  window_calls.store(&window->thread_calls());
  QObject::connect(&window->thread_calls(), &QObject::destroyed,
                   [] { window_calls.store(nullptr); });

  seed_random();  // the window's created event
  if (install_commands) install_commands(*window);
  window->show();
  return window;
}

void register_cleanup(std::function<void()> cleanup) {
  std::lock_guard lock(cleanup_mutex);
  cleanups().push_back(std::move(cleanup));
}

void run_cleanups() {
  std::vector<std::function<void()>> due;
  {
    std::lock_guard lock(cleanup_mutex);
    due.swap(cleanups());
  }
  for (auto& cleanup : due) cleanup();
}

void run_program(int argc, char** argv, const CommandInstaller& install_commands) {
  QApplication application(argc, argv);
  // The program ends when the main window closes, also while a worker's box is still open.
  application.setQuitOnLastWindowClosed(false);
  install_fatal_presenter();

  std::unique_ptr<MainWindow> window = start_window(install_commands);
  window->set_on_closing([] { QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit)); });
  QApplication::exec();

  run_cleanups();
  std::fflush(nullptr);
  // A worker may still be running: the process ends here, without destroying the window or
  // static objects that the worker could still touch.
  std::_Exit(0);
}

}  // namespace tarnwick
