// The whole program in one process: the real window on the offscreen platform, the commands,
// collection runs on worker threads, and real HTTP to the sample site on 127.0.0.1.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest/QTest>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/cp936.h"
#include "core/numbers.h"
#include "sample_site/sample_pages.h"
#include "sample_site/sample_site.h"
#include "ui/app.h"
#include "ui/qt_environment.h"
#include "ui/qt_text.h"
#include "ui/signature_list_model.h"
#include "ui/window_commands.h"

namespace tarnwick {
namespace {

using testing::when_shown;

struct Row {
  std::string id;
  std::string signature;  // code page 936
  bool operator==(const Row&) const = default;
};

int32_t page_number_of(const std::string& path) {
  const std::string prefix = "/qqgexing/";
  return text_to_int(Text(path.substr(prefix.size())));
}

// The rows a run over these pages lists, from the sample pages' own account of them.
std::vector<Row> expected_rows(const std::vector<std::string>& paths) {
  std::vector<Row> rows;
  int32_t number = 0;
  for (const std::string& path : paths) {
    for (const SampleEntry& entry : sample_entries(page_number_of(path))) {
      ++number;
      if (entry.listed) rows.push_back({std::to_string(number), entry.signature.str()});
    }
  }
  return rows;
}

// Confirms the file dialog with the file name typed into its name box, as a user does.
void choose_file(QFileDialog* dialog, const QString& folder, const QString& name) {
  dialog->setDirectory(folder);
  dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
  static_cast<QDialog*>(dialog)->accept();
  if (dialog->isVisible()) dialog->reject();
}

std::string file_bytes(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site_.start());
    window_ = start_window([this](MainWindow& window) {
      commands_ = std::make_unique<Commands>(window.operations(), Text(site_.host()));
      install_commands(window, *commands_);
    });
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  void TearDown() override {
    // A run still going must not outlive the window it writes to.
    if (button(Control::按钮2)->isEnabled()) {
      commands_->stop_command();
      wait_for_resting_look();
    }
    window_.reset();
  }

  WindowOperations& ops() { return window_->operations(); }
  QPushButton* button(Control control) {
    return static_cast<QPushButton*>(window_->control(control));
  }
  void type_count(const QString& count) {
    static_cast<QLineEdit*>(window_->control(Control::编辑框1))->setText(count);
  }
  std::string caption(Control control) { return cp936_to_utf8(ops().control_text(control)); }

  // Takes events until the run has given the buttons their resting look; false after 20 s.
  bool wait_for_resting_look() {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 20000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      if (caption(Control::按钮1) == "开始采集" && !button(Control::按钮2)->isEnabled() &&
          button(Control::按钮1)->isEnabled())
        return true;
      QThread::msleep(2);
    }
    return false;
  }

  std::vector<Row> rows() {
    std::vector<Row> listed;
    for (int32_t row = 0; row < ops().list_row_count(); ++row)
      listed.push_back({ops().list_cell_text(row, 0).str(), ops().list_cell_text(row, 1).str()});
    return listed;
  }

  SampleSite site_;
  std::unique_ptr<Commands> commands_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(EndToEnd, ARunOfThreePagesListsTheirSignaturesAndEndsResting) {
  type_count("3");
  button(Control::按钮1)->click();

  EXPECT_EQ(caption(Control::按钮1), "采集中");
  EXPECT_EQ(caption(Control::按钮2), "结束采集");
  EXPECT_FALSE(button(Control::按钮1)->isEnabled());
  EXPECT_TRUE(button(Control::按钮2)->isEnabled());

  ASSERT_TRUE(wait_for_resting_look());
  const std::vector<std::string> paths = site_.request_paths();
  ASSERT_EQ(paths.size(), 3u);
  for (const std::string& path : paths) {
    const int32_t page = page_number_of(path);
    EXPECT_GE(page, 100);
    EXPECT_LE(page, 9000);
    EXPECT_EQ(path, "/qqgexing/" + std::to_string(page) + ".html");
  }
  const std::vector<Row> expected = expected_rows(paths);
  EXPECT_EQ(rows(), expected);
  EXPECT_EQ(caption(Control::MainWindow),
            "已经采集了" + std::to_string(expected.size()) + "条QQ签名了");
  EXPECT_EQ(caption(Control::按钮2), "采集完毕");
}

TEST_F(EndToEnd, ASecondRunAppendsBelowTheFirstWithNumbersFromOne) {
  type_count("1");
  button(Control::按钮1)->click();
  ASSERT_TRUE(wait_for_resting_look());
  const std::vector<Row> first = rows();
  button(Control::按钮1)->click();
  ASSERT_TRUE(wait_for_resting_look());

  const std::vector<std::string> paths = site_.request_paths();
  ASSERT_EQ(paths.size(), 2u);
  std::vector<Row> expected = expected_rows({paths[0]});
  const std::vector<Row> second = expected_rows({paths[1]});
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(rows(), expected);
  EXPECT_EQ(caption(Control::MainWindow),
            "已经采集了" + std::to_string(expected.size()) + "条QQ签名了");
  ASSERT_FALSE(first.empty());
}

struct CountCase {
  const char* name;
  const char* count;
};

class EndToEndCount : public EndToEnd, public ::testing::WithParamInterface<CountCase> {};

// A count that is no positive number reads no page and leaves the caption as it was.
TEST_P(EndToEndCount, ReadsNoPage) {
  const std::string caption_at_start = caption(Control::MainWindow);
  type_count(GetParam().count);
  button(Control::按钮1)->click();
  ASSERT_TRUE(wait_for_resting_look());
  EXPECT_TRUE(site_.request_paths().empty());
  EXPECT_EQ(ops().list_row_count(), 0);
  EXPECT_EQ(caption(Control::MainWindow), caption_at_start);
}

INSTANTIATE_TEST_SUITE_P(Counts, EndToEndCount,
                         ::testing::Values(CountCase{"zero", "0"}, CountCase{"letters", "abc"},
                                           CountCase{"negative", "-4"}),
                         [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(EndToEnd, AnEmptyCountBoxAsksForTheCountAndChangesNothing) {
  type_count("");
  QString shown_text, shown_title;
  when_shown<QMessageBox>([&](QMessageBox* box) {
    shown_text = box->text();
    shown_title = box->windowTitle();
    box->accept();
  });
  button(Control::按钮1)->click();

  EXPECT_EQ(to_text(shown_text), "请输入采集次数"_cp936);
  EXPECT_EQ(to_text(shown_title), "信息："_cp936);
  EXPECT_EQ(caption(Control::按钮1), "开始");
  EXPECT_EQ(caption(Control::按钮2), "结束");
  EXPECT_TRUE(button(Control::按钮1)->isEnabled());
  EXPECT_FALSE(button(Control::按钮2)->isEnabled());
  QTest::qWait(50);
  EXPECT_TRUE(site_.request_paths().empty());
}

TEST_F(EndToEnd, PagesThatCannotBeFetchedCountAsRead) {
  site_.stop();
  type_count("2");
  button(Control::按钮1)->click();
  ASSERT_TRUE(wait_for_resting_look());
  EXPECT_EQ(ops().list_row_count(), 0);
  EXPECT_EQ(caption(Control::MainWindow), "已经采集了0条QQ签名了");
}

TEST_F(EndToEnd, StopEndsTheRunBeforeItsNextPageAndKeepsTheRows) {
  site_.set_delay_ms(100);
  type_count("1000");
  button(Control::按钮1)->click();
  QElapsedTimer waited;
  waited.start();
  while (ops().list_row_count() == 0 && waited.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_GT(ops().list_row_count(), 0);

  button(Control::按钮2)->click();
  ASSERT_TRUE(wait_for_resting_look());

  const std::vector<std::string> paths = site_.request_paths();
  EXPECT_LT(paths.size(), 100u);
  // Every row listed stays; a page abandoned in flight adds none.
  const std::vector<Row> listed = rows();
  std::vector<Row> expected = expected_rows(paths);
  ASSERT_LE(listed.size(), expected.size());
  expected.resize(listed.size());
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(caption(Control::按钮2), "采集完毕");
}

TEST_F(EndToEnd, ExportWritesTheListedSignaturesAndOffersThePathNextTime) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  type_count("2");
  button(Control::按钮1)->click();
  ASSERT_TRUE(wait_for_resting_look());

  const QString path = folder.filePath(QStringLiteral("signatures.txt"));
  when_shown<QFileDialog>([&](QFileDialog* dialog) {
    choose_file(dialog, folder.path(), QStringLiteral("signatures.txt"));
  });
  button(Control::按钮4)->click();

  std::string expected;
  for (const Row& row : rows()) expected += row.signature + "\r\n";
  EXPECT_EQ(file_bytes(path), expected);

  QStringList offered;
  when_shown<QFileDialog>([&](QFileDialog* dialog) {
    offered = dialog->selectedFiles();
    static_cast<QDialog*>(dialog)->reject();
  });
  button(Control::按钮4)->click();
  ASSERT_EQ(offered.size(), 1);
  EXPECT_EQ(offered.first(), path);
}

// The export takes events after every row, so the user can close the window meanwhile: the file
// still receives every row counted when the export began.
TEST_F(EndToEnd, ClosingTheWindowDuringAnExportFinishesTheFile) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  constexpr int32_t row_count = 20000;
  for (int32_t i = 0; i < row_count; ++i) {
    const int32_t row = ops().list_insert_row();
    ops().list_set_cell(row, 1, int_to_text(i));
  }
  const QString path = folder.filePath(QStringLiteral("closing.txt"));
  when_shown<QFileDialog>([&](QFileDialog* dialog) {
    choose_file(dialog, folder.path(), QStringLiteral("closing.txt"));
    QTimer::singleShot(0, window_.get(), [this] { window_->close(); });
  });
  button(Control::按钮4)->click();

  EXPECT_FALSE(window_->isVisible());
  std::string expected;
  for (int32_t i = 0; i < row_count; ++i) expected += std::to_string(i) + "\r\n";
  EXPECT_EQ(file_bytes(path), expected);
}

TEST_F(EndToEnd, DeleteDuplicatesFromThePopupKeepsTheFirstOfEach) {
  for (const char* signature : {"a", "b", "a", "c", "b"}) {
    const int32_t row = ops().list_insert_row();
    ops().list_set_cell(row, 0, int_to_text(row + 1));
    ops().list_set_cell(row, 1, signature);
  }
  when_shown<QMenu>([](QMenu* menu) {
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  commands_->list_context_menu();

  EXPECT_EQ(rows(), (std::vector<Row>{{"1", "a"}, {"2", "b"}, {"4", "c"}}));
}

}  // namespace
}  // namespace tarnwick
