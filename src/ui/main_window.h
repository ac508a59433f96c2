// The program's only window: the signature list, the count box with its label, the buttons,
// the file dialog control and the hidden menu whose item serves as the list's popup menu.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "collect/window_operations.h"

class QFileDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QTableView;

namespace tarnwick {

class SignatureListModel;
class WindowThreadCalls;

// What the window's events run; each runs on the window's thread. Empty ones run nothing.
struct WindowCommands {
  std::function<void()> start_clicked;         // 按钮1
  std::function<void()> stop_clicked;          // 按钮2
  std::function<void()> export_clicked;        // 按钮4
  std::function<void()> sample_rows_clicked;   // 按钮3
  std::function<void()> list_right_clicked;    // 超级列表框1: on a row or below the rows
  std::function<void()> delete_marked_chosen;  // the popup's item "删除重复"
};

class MainWindow : public QWidget {
 public:
  static constexpr int outer_width = 731;
  static constexpr int outer_height = 461;

  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // The operations the logic reads and changes the window through, from any thread.
  WindowOperations& operations();
  void set_commands(WindowCommands commands);
  // Runs on the window's thread once the window starts closing, after workers are released.
  void set_on_closing(std::function<void()> on_closing);

  QWidget* control(Control control) const;  // nullptr for the dialog and the window itself
  SignatureListModel& list_model() const { return *list_model_; }
  QTableView* list() const { return list_; }
  QMenu* menu() const { return menu_; }
  QAction* delete_marked_action() const { return delete_marked_; }
  QFileDialog* file_dialog();  // the dialog of 通用对话框1
  WindowThreadCalls& thread_calls() const { return *calls_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Operations;

  void create_list();
  void centre_on_screen();
  void fit_outer_size();

  WindowThreadCalls* calls_;
  SignatureListModel* list_model_;
  QTableView* list_ = nullptr;
  QLabel* count_label_ = nullptr;
  QLineEdit* count_box_ = nullptr;
  QPushButton* start_button_ = nullptr;
  QPushButton* stop_button_ = nullptr;
  QPushButton* sample_rows_button_ = nullptr;
  QPushButton* export_button_ = nullptr;
  QFileDialog* file_dialog_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* delete_marked_ = nullptr;
  WindowCommands commands_;
  std::function<void()> on_closing_;
  std::unique_ptr<Operations> operations_;
};

// "Tarnwick 自动采集网络QQ签名" and the project note behind it.
const Text& window_caption_at_start();

}  // namespace tarnwick
