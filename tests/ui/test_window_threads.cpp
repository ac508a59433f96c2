#include <gtest/gtest.h>

#include <QEventLoop>
#include <QPushButton>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/cp936.h"
#include "core/numbers.h"
#include "ui/main_window.h"
#include "ui/qt_environment.h"
#include "ui/qt_text.h"
#include "ui/signature_list_model.h"
#include "ui/window_fixture.h"
#include "ui/window_thread_calls.h"

namespace tarnwick {
namespace {

class WindowThreadsTest : public testing::WindowFixture {
 protected:
  // The window stays hidden: painting makes Qt start threads of its own, whose work
  // ThreadSanitizer cannot see into.
  void SetUp() override { window_ = std::make_unique<MainWindow>(); }
};

TEST_F(WindowThreadsTest, ThousandsOfMixedCallsLandCompleteAndInOrder) {
  constexpr int rows = 3000;
  std::vector<std::string> faults;
  run_worker_under_event_loop([&] {
    for (int i = 0; i < rows; ++i) {
      const int32_t row = ops().list_insert_row();
      if (row != i) faults.push_back("row " + std::to_string(row) + " for " + std::to_string(i));
      const Text id = int_to_text(i);
      ops().list_set_cell(row, 0, id);
      ops().list_set_cell(row, 1, concat_text("签名"_cp936, id));
      if (ops().list_row_count() != i + 1) faults.push_back("count after " + std::to_string(i));
      if (ops().list_cell_text(row, 0) != id) faults.push_back("cell of " + std::to_string(i));
      if (i % 100 == 0) {
        ops().set_caption(Control::按钮1, concat_text("还剩"_cp936, id, "次"_cp936));
        ops().set_disabled(Control::按钮2, i % 200 != 0);
        if (ops().control_text(Control::编辑框1) != Text("10")) faults.push_back("count box");
      }
    }
  });
  EXPECT_TRUE(faults.empty()) << faults.front();
  ASSERT_EQ(ops().list_row_count(), rows);
  for (int i = 0; i < rows; ++i) {
    ASSERT_EQ(ops().list_cell_text(i, 1), concat_text("签名"_cp936, int_to_text(i))) << i;
  }
  EXPECT_EQ(to_text(static_cast<QPushButton*>(window_->control(Control::按钮1))->text()),
            "还剩2900次"_cp936);
  EXPECT_FALSE(window_->control(Control::按钮2)->isEnabled());
}

TEST_F(WindowThreadsTest, AWorkersCallWaitsWhileTheWindowsThreadTakesNoEvents) {
  std::atomic<int32_t> row{-2};
  worker_ = std::thread([&] { row = ops().list_insert_row(); });
  wait_for_waiting_call();
  EXPECT_EQ(window_->list_model().size(), 0);
  EXPECT_EQ(row.load(), -2);

  ops().process_events();  // serves the waiting call
  worker_.join();
  EXPECT_EQ(row.load(), 0);
  EXPECT_EQ(window_->list_model().size(), 1);
}

TEST_F(WindowThreadsTest, ClosingReleasesAWaitingWorkerAndLaterCallsReturnEmptyAtOnce) {
  std::atomic<int32_t> row{-2};
  worker_ = std::thread([&] { row = ops().list_insert_row(); });
  wait_for_waiting_call();
  window_->close();
  worker_.join();
  EXPECT_EQ(row.load(), -1);
  EXPECT_EQ(window_->list_model().size(), 0);

  struct Results {
    bool closing = false;
    int32_t inserted = 0, count = -1, value = -1;
    Text cell = "x", box = "x", name = "x";
    bool opened = true;
  } seen;
  worker_ = std::thread([&] {
    seen.closing = ops().window_closing();
    seen.inserted = ops().list_insert_row();
    seen.count = ops().list_row_count();
    seen.value = ops().list_row_value(0);
    seen.cell = ops().list_cell_text(0, 0);
    seen.box = ops().control_text(Control::编辑框1);
    seen.opened = ops().file_dialog_open();
    seen.name = ops().file_dialog_file_name();
    ops().set_caption(Control::按钮1, "changed");
    ops().show_message("no box once closing", 16);
    ops().popup_menu();
    ops().process_events();
  });
  worker_.join();  // the window's thread takes no events meanwhile: nothing may wait for it
  EXPECT_TRUE(seen.closing);
  EXPECT_EQ(seen.inserted, -1);
  EXPECT_EQ(seen.count, 0);
  EXPECT_EQ(seen.value, 0);
  EXPECT_EQ(seen.cell, Text());
  EXPECT_EQ(seen.box, Text());
  EXPECT_FALSE(seen.opened);
  EXPECT_EQ(seen.name, Text());
  EXPECT_NE(to_text(static_cast<QPushButton*>(window_->control(Control::按钮1))->text()),
            Text("changed"));

  // The window's own thread still reads and changes the list, so a command that runs on
  // finishes its work on whole rows.
  ops().list_set_cell(ops().list_insert_row(), 1, "kept");
  EXPECT_EQ(ops().list_cell_text(0, 1), Text("kept"));
}

}  // namespace
}  // namespace tarnwick
