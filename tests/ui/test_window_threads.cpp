#include <gtest/gtest.h>

#include <QEventLoop>
#include <QPushButton>
#include <QThread>
#include <atomic>
#include <chrono>
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

TEST_F(WindowThreadsTest, HandedOverGroupsRunOnTheWindowsThreadInOrderWithLaterCalls) {
  constexpr int pages = 1000;
  std::atomic<int> groups_elsewhere{0};
  std::vector<std::string> faults;
  run_worker_under_event_loop([&] {
    for (int i = 0; i < pages; ++i) {
      ops().hand_over([&, i](WindowOperations& on_window) {
        if (QThread::currentThread() != window_->thread()) ++groups_elsewhere;
        on_window.list_append_rows({{int_to_text(i), "签名"_cp936}});
        on_window.set_caption(Control::按钮1, int_to_text(i));
      });
      // A call made after a group sees what the group did.
      if (i % 97 == 0 && ops().list_row_count() != i + 1) {
        faults.push_back("count after group " + std::to_string(i));
      }
    }
    // Groups still waiting are taken along by the worker's last call.
    if (ops().list_row_count() != pages) faults.push_back("count after the last group");
  });
  EXPECT_TRUE(faults.empty()) << faults.front();
  EXPECT_EQ(groups_elsewhere.load(), 0);
  ASSERT_EQ(ops().list_row_count(), pages);
  for (int i = 0; i < pages; ++i) ASSERT_EQ(ops().list_cell_text(i, 0), int_to_text(i)) << i;
  EXPECT_EQ(to_text(static_cast<QPushButton*>(window_->control(Control::按钮1))->text()),
            int_to_text(pages - 1));
}

TEST_F(WindowThreadsTest, AHandedOverGroupRunsWithoutALaterCallToCarryIt) {
  run_worker_under_event_loop(
      [&] { ops().hand_over([](WindowOperations& on_window) { on_window.list_insert_row(); }); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (window_->list_model().size() == 0 && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  EXPECT_EQ(window_->list_model().size(), 1);
}

TEST_F(WindowThreadsTest, PostingWaitsWhileManyPiecesWaitAndClosingDropsThem) {
  constexpr int pieces = 300;
  std::atomic<int> ran{0};
  std::atomic<int> handed_over{0};
  std::atomic<int> refused{0};
  worker_ = std::thread([&] {
    for (int i = 0; i < pieces; ++i) {
      if (calls().post([&] { ++ran; })) {
        ++handed_over;
      } else {
        ++refused;
      }
    }
  });
  // The window's thread takes no events: the worker can hand over only so much.
  for (int spins = 0; handed_over.load() < 256 && spins < 50'000'000; ++spins) {
    std::this_thread::yield();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(handed_over.load(), 256);
  EXPECT_EQ(calls().waiting(), 256);

  window_->close();
  worker_.join();
  EXPECT_EQ(ran.load(), 0);
  EXPECT_EQ(refused.load(), pieces - 256);
  EXPECT_EQ(calls().waiting(), 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(ran.load(), 0);
}

}  // namespace
}  // namespace tarnwick
