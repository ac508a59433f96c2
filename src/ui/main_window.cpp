#include "ui/main_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMoveEvent>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QWindow>

#include "core/cp936.h"
#include "ui/file_dialog_filter.h"
#include "ui/qt_text.h"
#include "ui/signature_list_model.h"
#include "ui/window_thread_calls.h"

namespace tarnwick {

const Text& window_caption_at_start() {
  return "Tarnwick 自动采集网络QQ签名 项目主页: https://tarnwick.example.org"_cp936;
}

namespace {

// The client size chosen before the window system reports its frame: a thin fixed border of
// 3 pixels and a title bar of 26, which leaves 725 × 432 inside the 731 × 461 outer size.
constexpr QMargins assumed_frame(3, 26, 3, 3);

QMessageBox::Icon message_icon(int32_t style) {
  switch (style & 0xF0) {
    case 0x10:
      return QMessageBox::Critical;
    case 0x20:
      return QMessageBox::Question;
    case 0x30:
      return QMessageBox::Warning;
    case 0x40:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QPushButton* make_button(QWidget* parent, const char* name, const Text& caption, QRect place) {
  auto* button = new QPushButton(to_qstring(caption), parent);
  button->setObjectName(QString::fromUtf8(name));
  button->setGeometry(place);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

// Every operation but show_message runs on the window's thread; once the window is closing a
// call from another thread gives its empty result at once.
class MainWindow::Operations : public WindowOperations {
 public:
  explicit Operations(MainWindow& window) : window_(window) {}

  int32_t list_insert_row() override {
    int32_t row = -1;
    on_window([&] { row = model().append_row(); });
    return row;
  }
  int32_t list_append_rows(const std::vector<ListRow>& rows) override {
    int32_t first = -1;
    on_window([&] {
      for (const ListRow& added : rows) {
        const int32_t row = model().append_row();
        if (row < 0) return;
        if (first < 0) first = row;
        model().set_cell(row, 0, added.id);
        model().set_cell(row, 1, added.signature);
      }
    });
    return first;
  }
  void list_set_cell(int32_t row, int32_t column, const Text& text) override {
    on_window([&] { model().set_cell(row, column, text); });
  }
  Text list_cell_text(int32_t row, int32_t column) override {
    Text text;
    on_window([&] { text = model().cell(row, column); });
    return text;
  }
  int32_t list_row_count() override {
    int32_t count = 0;
    on_window([&] { count = model().size(); });
    return count;
  }
  int32_t list_row_value(int32_t row) override {
    int32_t value = 0;
    on_window([&] { value = model().row_value(row); });
    return value;
  }
  void list_set_row_value(int32_t row, int32_t value) override {
    on_window([&] { model().set_row_value(row, value); });
  }
  void list_delete_row(int32_t row) override {
    on_window([&] { model().delete_row(row); });
  }
  void list_clear() override {
    on_window([&] { model().clear(); });
  }

  void set_caption(Control control, const Text& text) override {
    on_window([&] {
      const QString caption = to_qstring(text);
      if (control == Control::MainWindow) {
        window_.setWindowTitle(caption);
      } else if (auto* button = qobject_cast<QPushButton*>(window_.control(control))) {
        button->setText(caption);
      } else if (auto* label = qobject_cast<QLabel*>(window_.control(control))) {
        label->setText(caption);
      } else if (auto* box = qobject_cast<QLineEdit*>(window_.control(control))) {
        box->setText(caption);
      }
    });
  }
  void set_disabled(Control control, bool disabled) override {
    on_window([&] {
      if (control == Control::MainWindow) {
        window_.setEnabled(!disabled);
      } else if (QWidget* widget = window_.control(control)) {
        widget->setEnabled(!disabled);
      }
    });
  }
  Text control_text(Control control) override {
    Text text;
    on_window([&] {
      QWidget* widget = window_.control(control);
      if (control == Control::MainWindow) {
        text = to_text(window_.windowTitle());
      } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        text = to_text(box->text());
      } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        text = to_text(button->text());
      } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        text = to_text(label->text());
      }
    });
    return text;
  }

  // On the window's thread the box is modal and blocks the window until closed. A box that
  // another thread asks for is shown by the window's thread without modality, so the window
  // stays usable, while the asking thread waits for it to be closed.
  void show_message(const Text& text, int32_t style, const std::optional<Text>& title) override {
    const QString caption = to_qstring(title.value_or("信息："_cp936));
    const QString message = to_qstring(text);
    const QMessageBox::Icon icon = message_icon(style);
    WindowThreadCalls& calls = window_.thread_calls();
    if (calls.on_window_thread()) {
      QMessageBox box(icon, caption, message, QMessageBox::Ok);
      box.exec();
      return;
    }
    auto closed = std::make_shared<bool>(false);
    const bool shown = calls.call([&] {
      auto* box = new QMessageBox(icon, caption, message, QMessageBox::Ok);
      box->setAttribute(Qt::WA_DeleteOnClose);
      box->setWindowModality(Qt::NonModal);
      QObject::connect(box, &QMessageBox::finished, &calls,
                       [&calls, closed] { calls.change_and_wake([&] { *closed = true; }); });
      box->show();
    });
    if (shown) calls.wait_until([&] { return *closed; });
  }

  void popup_menu() override {
    on_window([&] {
      QAction* chosen = window_.menu_->exec(QCursor::pos() + QPoint(3, 3));
      if (chosen == window_.delete_marked_ && window_.commands_.delete_marked_chosen) {
        window_.commands_.delete_marked_chosen();
      }
    });
  }

  void file_dialog_setup(const FileDialogSetup& setup) override {
    on_window([&] {
      dialog_.kind = setup.kind;
      dialog_.filter = setup.filter;
      dialog_.default_extension = setup.default_extension;
    });
  }
  bool file_dialog_open() override {
    bool confirmed = false;
    on_window([&] { confirmed = open_dialog(); });
    return confirmed;
  }
  Text file_dialog_file_name() override {
    Text name;
    on_window([&] { name = dialog_.file_name; });
    return name;
  }

  void process_events() override {
    on_window([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
  }

  void hand_over(std::function<void(WindowOperations&)> operations) override {
    window_.thread_calls().post([this, group = std::move(operations)] { group(*this); });
  }

  bool window_closing() override { return window_.thread_calls().closing(); }

 private:
  struct DialogSettings {
    FileDialogKind kind = FileDialogKind::open;
    Text filter;
    Text default_extension;
    Text file_name;  // the full path confirmed last
  };

  SignatureListModel& model() { return *window_.list_model_; }

  template <typename Work>
  void on_window(Work&& work) {
    window_.thread_calls().call(std::function<void()>(std::forward<Work>(work)));
  }

  bool open_dialog() {
    QFileDialog& dialog = *window_.file_dialog();
    const bool save = dialog_.kind == FileDialogKind::save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = qt_name_filters(dialog_.filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) dialog.selectNameFilter(filters.first());
    QString suffix = to_qstring(dialog_.default_extension);
    while (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(to_qstring(dialog_.file_name));
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    dialog_.file_name = to_text(chosen.first());
    return true;
  }

  MainWindow& window_;
  DialogSettings dialog_;
};

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      calls_(new WindowThreadCalls(this)),
      list_model_(new SignatureListModel(this)),
      operations_(std::make_unique<Operations>(*this)) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(to_qstring(window_caption_at_start()));
  setFixedSize(outer_width - assumed_frame.left() - assumed_frame.right(),
               outer_height - assumed_frame.top() - assumed_frame.bottom());

  create_list();

  count_label_ = new QLabel(to_qstring("采集次数"_cp936), this);
  count_label_->setObjectName(QStringLiteral("标签1"));
  count_label_->setGeometry(32, 392, 72, 24);
  count_label_->setFocusPolicy(Qt::NoFocus);

  count_box_ = new QLineEdit(QStringLiteral("10"), this);
  count_box_->setObjectName(QStringLiteral("编辑框1"));
  count_box_->setGeometry(128, 392, 80, 24);

  start_button_ = make_button(this, "按钮1", "开始"_cp936, {240, 392, 96, 32});
  stop_button_ = make_button(this, "按钮2", "结束"_cp936, {352, 392, 96, 32});
  stop_button_->setEnabled(false);
  export_button_ = make_button(this, "按钮4", "导出"_cp936, {472, 392, 96, 24});
  sample_rows_button_ = make_button(this, "按钮3", "按钮"_cp936, {656, 400, 96, 32});
  sample_rows_button_->setVisible(false);

  const auto run = [this](std::function<void()> WindowCommands::*command) {
    return [this, command] {
      if (commands_.*command) (commands_.*command)();
    };
  };
  connect(start_button_, &QPushButton::clicked, this, run(&WindowCommands::start_clicked));
  connect(stop_button_, &QPushButton::clicked, this, run(&WindowCommands::stop_clicked));
  connect(export_button_, &QPushButton::clicked, this, run(&WindowCommands::export_clicked));
  connect(sample_rows_button_, &QPushButton::clicked, this,
          run(&WindowCommands::sample_rows_clicked));

  menu_ = new QMenu(to_qstring("菜单"_cp936), this);
  menu_->setObjectName(QStringLiteral("菜单"));
  delete_marked_ = menu_->addAction(to_qstring("删除重复"_cp936));

  centre_on_screen();
}

MainWindow::~MainWindow() { calls_->begin_closing(); }

WindowOperations& MainWindow::operations() { return *operations_; }

// Made at its first use: a file dialog starts a thread that watches the file system.
QFileDialog* MainWindow::file_dialog() {
  if (file_dialog_ == nullptr) {
    file_dialog_ = new QFileDialog(this);
    file_dialog_->setObjectName(QStringLiteral("通用对话框1"));
    file_dialog_->setOption(QFileDialog::DontUseNativeDialog);
    file_dialog_->setWindowModality(Qt::WindowModal);
  }
  return file_dialog_;
}

void MainWindow::set_commands(WindowCommands commands) { commands_ = std::move(commands); }

void MainWindow::set_on_closing(std::function<void()> on_closing) {
  on_closing_ = std::move(on_closing);
}

QWidget* MainWindow::control(Control control) const {
  switch (control) {
    case Control::超级列表框1:
      return list_;
    case Control::标签1:
      return count_label_;
    case Control::编辑框1:
      return count_box_;
    case Control::按钮1:
      return start_button_;
    case Control::按钮2:
      return stop_button_;
    case Control::按钮3:
      return sample_rows_button_;
    case Control::按钮4:
      return export_button_;
    case Control::MainWindow:
    case Control::通用对话框1:
      return nullptr;
  }
  return nullptr;
}

void MainWindow::create_list() {
  list_ = new QTableView(this);
  list_->setObjectName(QStringLiteral("超级列表框1"));
  list_->setGeometry(8, 8, 704, 376);
  list_->setModel(list_model_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSortingEnabled(false);
  list_->setShowGrid(true);
  list_->setWordWrap(false);
  list_->setCornerButtonEnabled(false);
  list_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

  // Rows share one fixed height, so a list of a million rows lays out without measuring them.
  QHeaderView* rows = list_->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(list_->fontMetrics().height() + 4);

  QHeaderView* columns = list_->horizontalHeader();
  columns->setSectionsMovable(true);
  columns->setSectionsClickable(true);
  columns->setSortIndicatorShown(false);
  columns->setHighlightSections(false);
  columns->setStretchLastSection(false);
  columns->setSectionResizeMode(QHeaderView::Interactive);
  columns->resizeSection(0, 50);
  columns->resizeSection(1, 650);

  // The selection shows only while the list has the focus.
  QPalette palette = list_->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight,
                   palette.color(QPalette::Inactive, QPalette::Base));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Inactive, QPalette::Text));
  list_->setPalette(palette);

  list_->viewport()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() && event->type() == QEvent::ContextMenu &&
      static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse) {
    if (commands_.list_right_clicked) commands_.list_right_clicked();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::centre_on_screen() {
  QScreen* screen = this->screen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  move(area.x() + (area.width() - outer_width) / 2, area.y() + (area.height() - outer_height) / 2);
}

// Once shown, the window system reports the frame it drew; the client size is made to fit it
// so that frame and client together measure 731 × 461. Without a frame (offscreen, a bare X
// server) the client area is the whole 731 × 461.
void MainWindow::fit_outer_size() {
  const QWindow* window = windowHandle();
  if (window == nullptr) return;
  const QMargins frame = window->frameMargins();
  const QSize client(outer_width - frame.left() - frame.right(),
                     outer_height - frame.top() - frame.bottom());
  if (client != size()) setFixedSize(client);
}

void MainWindow::showEvent(QShowEvent* event) {
  fit_outer_size();
  QWidget::showEvent(event);
}

// A window manager that draws the frame reports it some time after the window is shown, and
// moves the window when it does.
void MainWindow::moveEvent(QMoveEvent* event) {
  fit_outer_size();
  QWidget::moveEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  calls_->begin_closing();
  event->accept();
  if (on_closing_) on_closing_();
}

}  // namespace tarnwick
