#include <gtest/gtest.h>

#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <atomic>
#include <thread>

#include "core/cp936.h"
#include "ui/app.h"
#include "ui/qt_environment.h"
#include "ui/qt_text.h"
#include "ui/window_fixture.h"
#include "ui/window_thread_calls.h"

namespace tarnwick {
namespace {

using testing::when_shown;

class WindowBoxesTest : public testing::WindowFixture {
 protected:
  void SetUp() override { window_ = start_window(nullptr); }
};

TEST_F(WindowBoxesTest, AWorkersCallIsServedWhileAMessageBoxIsOpen) {
  std::atomic<bool> served{false};
  worker_ = std::thread([&] {
    ops().list_insert_row();
    served = true;
  });
  wait_for_waiting_call();
  bool served_while_open = false;
  when_shown<QMessageBox>([&](QMessageBox* box) {
    auto* poll = new QTimer(box);
    auto left = std::make_shared<int>(500);
    QObject::connect(poll, &QTimer::timeout, box, [&, box, left] {
      if (served || --*left <= 0) {
        served_while_open = served;
        box->button(QMessageBox::Ok)->click();
      }
    });
    poll->start(10);
  });
  ops().show_message("x", 0);
  EXPECT_TRUE(served_while_open);
}

TEST_F(WindowBoxesTest, AWorkersMessageLeavesTheWindowUsableAndWaitsForItsBox) {
  std::atomic<bool> returned{false};
  bool returned_while_open = true;
  bool modal = true;
  QString title;
  when_shown<QMessageBox>([&](QMessageBox* box) {
    modal = box->isModal() || QApplication::activeModalWidget() != nullptr;
    title = box->windowTitle();
    returned_while_open = returned;
    box->button(QMessageBox::Ok)->click();
  });
  run_worker_under_event_loop([&] {
    ops().show_message("目前没任何签名用户存在!"_cp936, 64, "提示"_cp936);
    returned = true;
  });
  EXPECT_FALSE(returned_while_open);
  EXPECT_FALSE(modal);
  EXPECT_EQ(to_text(title), "提示"_cp936);
}

}  // namespace
}  // namespace tarnwick
