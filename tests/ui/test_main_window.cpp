#include <gtest/gtest.h>

#include <QCursor>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <functional>
#include <ostream>
#include <vector>

#include "collect/locks.h"
#include "core/cp936.h"
#include "core/random.h"
#include "ui/app.h"
#include "ui/file_dialog_filter.h"
#include "ui/qt_environment.h"
#include "ui/qt_text.h"
#include "ui/signature_list_model.h"

namespace tarnwick {
namespace {

using testing::when_shown;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = start_window(nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  void TearDown() override { window_.reset(); }

  WindowOperations& ops() { return window_->operations(); }

  std::unique_ptr<MainWindow> window_;
};

struct ControlAtStart {
  const char* name;
  Control control;
  QRect place;
  Text text;
  bool visible;
  bool enabled;
  bool tab_stop;
};

QString text_of(QWidget* widget) {
  if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* box = qobject_cast<QLineEdit*>(widget)) return box->text();
  return {};
}

TEST_F(MainWindowTest, ControlsAtStartHaveTheirPlacesCaptionsAndStates) {
  const std::vector<ControlAtStart> controls = {
      {"超级列表框1", Control::超级列表框1, {8, 8, 704, 376}, "", true, true, true},
      {"标签1", Control::标签1, {32, 392, 72, 24}, "采集次数"_cp936, true, true, false},
      {"编辑框1", Control::编辑框1, {128, 392, 80, 24}, "10", true, true, true},
      {"按钮1", Control::按钮1, {240, 392, 96, 32}, "开始"_cp936, true, true, true},
      {"按钮2", Control::按钮2, {352, 392, 96, 32}, "结束"_cp936, true, false, true},
      {"按钮4", Control::按钮4, {472, 392, 96, 24}, "导出"_cp936, true, true, true},
      {"按钮3", Control::按钮3, {656, 400, 96, 32}, "按钮"_cp936, false, true, true},
  };
  for (const ControlAtStart& expected : controls) {
    SCOPED_TRACE(expected.name);
    QWidget* widget = window_->findChild<QWidget*>(QString::fromUtf8(expected.name));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget, window_->control(expected.control));
    EXPECT_EQ(widget->geometry(), expected.place);
    EXPECT_EQ(to_text(text_of(widget)), expected.text);
    EXPECT_EQ(widget->isVisible(), expected.visible);
    EXPECT_EQ(widget->isEnabled(), expected.enabled);
    EXPECT_EQ((widget->focusPolicy() & Qt::TabFocus) != 0, expected.tab_stop);
    EXPECT_EQ(ops().control_text(expected.control), expected.text);
  }
  EXPECT_EQ(window_->file_dialog()->objectName(), QStringLiteral("通用对话框1"));
  EXPECT_FALSE(window_->file_dialog()->isVisible());
}

TEST_F(MainWindowTest, WindowAtStartIsCentredFixedAndCaptioned) {
  const QRect screen = window_->screen()->geometry();
  const QRect outer = window_->frameGeometry();
  EXPECT_EQ(outer.size(), QSize(731, 461));
  EXPECT_EQ(outer.topLeft(), QPoint((screen.width() - 731) / 2, (screen.height() - 461) / 2));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());

  const Text caption = ops().control_text(Control::MainWindow);
  EXPECT_EQ(caption.view().substr(0, "Tarnwick 自动采集网络QQ签名"_cp936.view().size()),
            "Tarnwick 自动采集网络QQ签名"_cp936.view());
  EXPECT_GT(caption.length(), "Tarnwick 自动采集网络QQ签名"_cp936.length() + 1);

  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

TEST_F(MainWindowTest, ListAtStartIsAnEmptyReportWithTwoColumns) {
  QTableView* list = window_->list();
  QAbstractItemModel* model = list->model();
  EXPECT_EQ(ops().list_row_count(), 0);
  ASSERT_EQ(model->columnCount(), 2);
  struct Column {
    Text title;
    int width;
    Qt::Alignment alignment;
  };
  const Column columns[] = {{"ID", 50, Qt::AlignLeft}, {"签名"_cp936, 650, Qt::AlignHCenter}};
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(to_text(model->headerData(c, Qt::Horizontal).toString()), columns[c].title);
    EXPECT_EQ(list->columnWidth(c), columns[c].width);
  }
  EXPECT_TRUE(list->horizontalHeader()->sectionsMovable());
  EXPECT_FALSE(list->isSortingEnabled());
  EXPECT_TRUE(list->showGrid());
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);

  ops().list_insert_row();
  window_->list_model().show_appended_rows();
  const QModelIndex id = model->index(0, 0);
  const QModelIndex signature = model->index(0, 1);
  EXPECT_TRUE(model->flags(id) & Qt::ItemIsUserCheckable);
  EXPECT_FALSE(model->flags(signature) & Qt::ItemIsEditable);
  EXPECT_EQ(model->data(id, Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
  EXPECT_TRUE(model->data(signature, Qt::TextAlignmentRole).value<Qt::Alignment>() &
              Qt::AlignHCenter);
  // Clicking a header sorts nothing.
  ops().list_set_cell(0, 0, "2");
  ops().list_set_cell(ops().list_insert_row(), 0, "1");
  QTest::mouseClick(list->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
  EXPECT_EQ(ops().list_cell_text(0, 0), Text("2"));
}

TEST_F(MainWindowTest, StartUpLeavesAnEmptyLockRegistryAndASeededGenerator) {
  release_lock_registry();
  create_lock();
  seed_random(12345);
  std::vector<int32_t> fixed_seed;
  for (int i = 0; i < 8; ++i) fixed_seed.push_back(random_between(0, 32767));

  window_.reset();
  seed_random(12345);
  window_ = start_window(nullptr);
  EXPECT_EQ(lock_registry_size(), 0);
  std::vector<int32_t> after_start;
  for (int i = 0; i < 8; ++i) after_start.push_back(random_between(0, 32767));
  EXPECT_NE(after_start, fixed_seed);
}

TEST_F(MainWindowTest, InsertedRowsCountFromZeroAndStartEmpty) {
  EXPECT_EQ(ops().list_insert_row(), 0);
  for (int i = 1; i < 15; ++i) ops().list_insert_row();
  EXPECT_EQ(ops().list_insert_row(), 15);
  EXPECT_EQ(ops().list_row_count(), 16);
  EXPECT_EQ(ops().list_cell_text(15, 0), Text());
  EXPECT_EQ(ops().list_cell_text(15, 1), Text());
  EXPECT_EQ(ops().list_row_value(15), 0);
  EXPECT_FALSE(window_->list_model().checked(15));
}

TEST_F(MainWindowTest, CellsAndValuesOutsideTheListReadEmptyAndChangeNothing) {
  ops().list_set_cell(ops().list_insert_row(), 1, "签名"_cp936);
  ops().list_set_row_value(0, 888);
  struct Probe {
    int32_t row;
    int32_t column;
  };
  for (Probe probe : {Probe{1, 0}, Probe{-1, 1}, Probe{0, 2}, Probe{0, -1}, Probe{99, 1}}) {
    SCOPED_TRACE(::testing::Message() << probe.row << "," << probe.column);
    ops().list_set_cell(probe.row, probe.column, "x");
    EXPECT_EQ(ops().list_cell_text(probe.row, probe.column), Text());
    EXPECT_EQ(ops().list_row_value(probe.row), probe.row == 0 ? 888 : 0);
    ops().list_delete_row(probe.row == 0 ? -1 : probe.row);
  }
  EXPECT_EQ(ops().list_row_count(), 1);
  EXPECT_EQ(ops().list_cell_text(0, 1), "签名"_cp936);
  EXPECT_EQ(ops().list_cell_text(0, 0), Text());
  // A cell set to the empty text is empty again; long texts come back whole.
  const Text long_text(std::string(100000, 'q'));
  ops().list_set_cell(0, 0, long_text);
  EXPECT_EQ(ops().list_cell_text(0, 0), long_text);
  ops().list_set_cell(0, 0, Text());
  EXPECT_EQ(ops().list_cell_text(0, 0), Text());
}

TEST_F(MainWindowTest, AppendedRowsFollowTheLastRowInOrderWithTheirCells) {
  ops().list_set_cell(ops().list_insert_row(), 1, "first");
  EXPECT_EQ(ops().list_append_rows({{"1", "a"}, {"3", "签名"_cp936}, {"4", ""}}), 1);
  EXPECT_EQ(ops().list_append_rows({}), -1);

  ASSERT_EQ(ops().list_row_count(), 4);
  const Text expected[][2] = {{"", "first"}, {"1", "a"}, {"3", "签名"_cp936}, {"4", ""}};
  for (int32_t row = 0; row < 4; ++row) {
    EXPECT_EQ(ops().list_cell_text(row, 0), expected[row][0]) << row;
    EXPECT_EQ(ops().list_cell_text(row, 1), expected[row][1]) << row;
    EXPECT_EQ(ops().list_row_value(row), 0) << row;
  }
}

TEST_F(MainWindowTest, DeletingARowMovesTheLaterRowsUp) {
  for (const char* id : {"a", "b", "c"}) ops().list_set_cell(ops().list_insert_row(), 0, id);
  ops().list_set_row_value(2, 7);
  ops().list_delete_row(0);
  ASSERT_EQ(ops().list_row_count(), 2);
  EXPECT_EQ(ops().list_cell_text(0, 0), Text("b"));
  EXPECT_EQ(ops().list_cell_text(1, 0), Text("c"));
  EXPECT_EQ(ops().list_row_value(1), 7);
  EXPECT_EQ(window_->list()->model()->rowCount(), 2);

  ops().list_clear();
  EXPECT_EQ(ops().list_row_count(), 0);
  EXPECT_EQ(ops().list_insert_row(), 0);
}

struct ViewCase {
  const char* name;
  std::function<void(WindowOperations&)> change;
  std::vector<std::string> seen;  // column 1 of every row the view shows
};

void PrintTo(const ViewCase& c, std::ostream* os) { *os << c.name; }

class ListViewTest : public MainWindowTest, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(ListViewTest, ViewShowsTheRowsTheOperationsLeft) {
  GetParam().change(ops());
  // Appended rows reach the view in batches; the batch timer must have been started.
  QAbstractItemModel* model = window_->list()->model();
  for (int spins = 0; spins < 200 && model->rowCount() != ops().list_row_count(); ++spins) {
    QTest::qWait(10);
  }
  std::vector<std::string> seen;
  for (int row = 0; row < model->rowCount(); ++row) {
    seen.push_back(to_text(model->data(model->index(row, 1), Qt::DisplayRole).toString()).str());
  }
  EXPECT_EQ(seen, GetParam().seen);
}

void append(WindowOperations& ops, std::initializer_list<const char*> signatures) {
  for (const char* signature : signatures) ops.list_set_cell(ops.list_insert_row(), 1, signature);
}

INSTANTIATE_TEST_SUITE_P(Changes, ListViewTest,
                         ::testing::Values(ViewCase{"appended",
                                                    [](auto& ops) {
                                                      append(ops, {"a", "b", "c"});
                                                    },
                                                    {"a", "b", "c"}},
                                           ViewCase{"deleted_before_the_view_heard",
                                                    [](auto& ops) {
                                                      append(ops, {"a", "b", "c"});
                                                      ops.list_delete_row(1);
                                                    },
                                                    {"a", "c"}},
                                           ViewCase{"appended_after_a_delete",
                                                    [](auto& ops) {
                                                      append(ops, {"a", "b"});
                                                      ops.list_delete_row(0);
                                                      append(ops, {"c"});
                                                    },
                                                    {"b", "c"}},
                                           ViewCase{"cleared_with_rows_pending",
                                                    [](auto& ops) {
                                                      append(ops, {"a", "b"});
                                                      ops.list_clear();
                                                      append(ops, {"c"});
                                                    },
                                                    {"c"}},
                                           ViewCase{"cell_changed_after_shown",
                                                    [](auto& ops) {
                                                      append(ops, {"a"});
                                                      ops.list_delete_row(5);
                                                      ops.list_set_cell(0, 1, "z");
                                                    },
                                                    {"z"}}),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

TEST_F(MainWindowTest, CaptionsAndDisabledStatesReachTheControls) {
  ops().set_caption(Control::按钮1, "采集中"_cp936);
  ops().set_caption(Control::MainWindow, "共 3 条"_cp936);
  ops().set_disabled(Control::按钮1, true);
  ops().set_disabled(Control::按钮2, false);
  EXPECT_EQ(to_text(window_->windowTitle()), "共 3 条"_cp936);
  EXPECT_EQ(to_text(text_of(window_->control(Control::按钮1))), "采集中"_cp936);
  EXPECT_FALSE(window_->control(Control::按钮1)->isEnabled());
  EXPECT_TRUE(window_->control(Control::按钮2)->isEnabled());

  static_cast<QLineEdit*>(window_->control(Control::编辑框1))->setText(QString());
  EXPECT_EQ(ops().control_text(Control::编辑框1), Text());
}

TEST_F(MainWindowTest, ButtonsRunTheirInstalledCommands) {
  std::vector<std::string> ran;
  WindowCommands commands;
  commands.start_clicked = [&] { ran.push_back("start"); };
  commands.stop_clicked = [&] { ran.push_back("stop"); };
  commands.export_clicked = [&] { ran.push_back("export"); };
  commands.sample_rows_clicked = [&] { ran.push_back("sample"); };
  window_->set_commands(commands);
  for (Control button : {Control::按钮1, Control::按钮4, Control::按钮3}) {
    static_cast<QPushButton*>(window_->control(button))->click();
  }
  // A disabled button takes no click.
  QTest::mouseClick(window_->control(Control::按钮2), Qt::LeftButton);
  EXPECT_EQ(ran, (std::vector<std::string>{"start", "export", "sample"}));
}

struct RightClick {
  const char* name;
  int rows;
  bool below_rows;
};

void PrintTo(const RightClick& c, std::ostream* os) { *os << c.name; }

class ListRightClickTest : public MainWindowTest,
                           public ::testing::WithParamInterface<RightClick> {};

TEST_P(ListRightClickTest, RunsTheListCommandOnARowOrBelowTheRows) {
  int right_clicks = 0;
  WindowCommands commands;
  commands.list_right_clicked = [&] { ++right_clicks; };
  window_->set_commands(commands);
  for (int i = 0; i < GetParam().rows; ++i) ops().list_insert_row();
  window_->list_model().show_appended_rows();
  QTableView* list = window_->list();
  const QPoint inside = GetParam().below_rows
                            ? QPoint(100, list->viewport()->height() - 10)
                            : list->visualRect(list->model()->index(0, 1)).center();
  if (GetParam().below_rows && GetParam().rows > 0) {
    ASSERT_LT(list->visualRect(list->model()->index(GetParam().rows - 1, 1)).bottom(), inside.y());
  }
  QContextMenuEvent event(QContextMenuEvent::Mouse, inside, list->viewport()->mapToGlobal(inside));
  QApplication::sendEvent(list->viewport(), &event);
  EXPECT_EQ(right_clicks, 1);
}

INSTANTIATE_TEST_SUITE_P(Places, ListRightClickTest,
                         ::testing::Values(RightClick{"on_a_row", 3, false},
                                           RightClick{"below_the_rows", 3, true},
                                           RightClick{"empty_list", 0, true}),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

struct MessageCase {
  const char* name;
  int32_t style;
  std::optional<Text> title;
  Text shown_title;
  QMessageBox::Icon icon;
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }

class ShowMessageTest : public MainWindowTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(ShowMessageTest, ShowsTheTextWithItsTitleAndIconUntilClosed) {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool modal = false;
  when_shown<QMessageBox>([&](QMessageBox* box) {
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    modal = box->isModal();
    EXPECT_EQ(box->parentWidget(), nullptr);
    box->button(QMessageBox::Ok)->click();
  });
  ops().show_message("请输入采集次数"_cp936, GetParam().style, GetParam().title);
  EXPECT_EQ(to_text(title), GetParam().shown_title);
  EXPECT_EQ(to_text(text), "请输入采集次数"_cp936);
  EXPECT_EQ(icon, GetParam().icon);
  EXPECT_TRUE(modal);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, ShowMessageTest,
    ::testing::Values(
        MessageCase{"plain_untitled", 0, std::nullopt, "信息："_cp936, QMessageBox::NoIcon},
        MessageCase{"information", 64, "提示"_cp936, "提示"_cp936, QMessageBox::Information},
        MessageCase{"error", 16, "错误"_cp936, "错误"_cp936, QMessageBox::Critical},
        MessageCase{"empty_title", 0, Text(), Text(), QMessageBox::NoIcon}),
    [](const auto& test_info) { return std::string(test_info.param.name); });

struct PopupCase {
  const char* name;
  std::vector<Qt::Key> keys;
  int commands_run;
};

void PrintTo(const PopupCase& c, std::ostream* os) { *os << c.name; }

class PopupMenuTest : public MainWindowTest, public ::testing::WithParamInterface<PopupCase> {};

TEST_P(PopupMenuTest, ShowsDeleteDuplicatesAtThePointerAndRunsItOnlyWhenChosen) {
  int deletes = 0;
  bool command_ran_after_popup_closed = false;
  WindowCommands commands;
  commands.delete_marked_chosen = [&] {
    ++deletes;
    command_ran_after_popup_closed = !window_->menu()->isVisible();
  };
  window_->set_commands(commands);
  QCursor::setPos(window_->mapToGlobal(QPoint(100, 100)));
  const QPoint pointer = QCursor::pos();
  QPoint shown_at;
  QStringList items;
  when_shown<QMenu>([&](QMenu* menu) {
    shown_at = menu->geometry().topLeft();
    for (QAction* action : menu->actions()) items << action->text();
    for (Qt::Key key : GetParam().keys) QTest::keyClick(menu, key);
  });
  ops().popup_menu();
  EXPECT_EQ(shown_at, pointer + QPoint(3, 3));
  ASSERT_EQ(items.size(), 1);
  EXPECT_EQ(to_text(items.first()), "删除重复"_cp936);
  EXPECT_EQ(to_text(window_->menu()->title()), "菜单"_cp936);
  EXPECT_EQ(deletes, GetParam().commands_run);
  if (deletes > 0) {
    EXPECT_TRUE(command_ran_after_popup_closed);
  }
}

INSTANTIATE_TEST_SUITE_P(Choices, PopupMenuTest,
                         ::testing::Values(PopupCase{"chosen", {Qt::Key_Down, Qt::Key_Return}, 1},
                                           PopupCase{"dismissed", {Qt::Key_Escape}, 0}),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

TEST(FileDialogFilter, PairsBecomeQtNameFilters) {
  struct Case {
    Text filter;
    QStringList expected;
  };
  const std::vector<Case> cases = {
      {"文本文件(*.txt)|*.txt|所有文件(*.*)|*.*"_cp936,
       {QStringLiteral("文本文件(*.txt) (*.txt)"), QStringLiteral("所有文件(*.*) (*.*)")}},
      {"Sources|*.c;*.h", {QStringLiteral("Sources (*.c *.h)")}},
      {"Text|*.txt|Dangling", {QStringLiteral("Text (*.txt)")}},
      {"Nothing|", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter.str());
    EXPECT_EQ(qt_name_filters(c.filter), c.expected);
  }
}

TEST_F(MainWindowTest, SaveDialogUsesItsSettingsAndOffersTheLastPathChosen) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  ops().file_dialog_setup({.kind = FileDialogKind::save,
                           .filter = "文本文件(*.txt)|*.txt|所有文件(*.*)|*.*"_cp936,
                           .default_extension = ".xls"});
  EXPECT_EQ(ops().file_dialog_file_name(), Text());

  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  QStringList filters;
  QString selected_filter, suffix;
  bool confirms_overwrite = false, native = true;
  when_shown<QFileDialog>([&](QFileDialog* dialog) {
    mode = dialog->acceptMode();
    filters = dialog->nameFilters();
    selected_filter = dialog->selectedNameFilter();
    suffix = dialog->defaultSuffix();
    confirms_overwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
    dialog->setDirectory(folder.path());
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("签名"));
    static_cast<QDialog*>(dialog)->accept();
    if (dialog->isVisible()) dialog->reject();
  });
  ASSERT_TRUE(ops().file_dialog_open());
  EXPECT_EQ(mode, QFileDialog::AcceptSave);
  ASSERT_EQ(filters.size(), 2);
  EXPECT_EQ(selected_filter, filters.first());
  EXPECT_EQ(suffix, QStringLiteral("xls"));
  EXPECT_TRUE(confirms_overwrite);
  EXPECT_FALSE(native);
  const Text chosen = ops().file_dialog_file_name();
  EXPECT_EQ(chosen, to_text(folder.filePath(QStringLiteral("签名.xls"))));

  // The next dialog offers the path chosen before; cancelling it keeps that path.
  QStringList offered;
  when_shown<QFileDialog>([&](QFileDialog* dialog) {
    offered = dialog->selectedFiles();
    static_cast<QDialog*>(dialog)->reject();
  });
  EXPECT_FALSE(ops().file_dialog_open());
  ASSERT_EQ(offered.size(), 1);
  EXPECT_EQ(to_text(offered.first()), chosen);
  EXPECT_EQ(ops().file_dialog_file_name(), chosen);
}

TEST_F(MainWindowTest, OpenDialogAsksForAnExistingFile) {
  QFileDialog::FileMode file_mode = QFileDialog::AnyFile;
  QFileDialog::AcceptMode mode = QFileDialog::AcceptSave;
  when_shown<QFileDialog>([&](QFileDialog* dialog) {
    file_mode = dialog->fileMode();
    mode = dialog->acceptMode();
    static_cast<QDialog*>(dialog)->reject();
  });
  EXPECT_FALSE(ops().file_dialog_open());
  EXPECT_EQ(mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(file_mode, QFileDialog::ExistingFile);
}

}  // namespace
}  // namespace tarnwick
