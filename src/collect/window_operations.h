// The window operations through which the logic reads and changes the window.
// Called from the window's thread they act at once; called from any other thread they are
// carried out on the window's thread while the caller waits, in call order (hand_over alone
// does not wait).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/text.h"

namespace tarnwick {

// The window and its controls, named as in the window's layout.
enum class Control {
  MainWindow,
  超级列表框1,  // the signature list
  标签1,        // the label of the count box
  编辑框1,      // the count box
  按钮1,        // Start
  按钮2,        // Stop
  按钮3,        // hidden: sample rows
  按钮4,        // Export
  通用对话框1,  // the file dialog
};

// Message box styles.
inline constexpr int32_t message_style_plain = 0;
inline constexpr int32_t message_style_error = 16;
inline constexpr int32_t message_style_information = 64;

enum class FileDialogKind { open, save };

// What a command sets on the file dialog before opening it.
struct FileDialogSetup {
  FileDialogKind kind = FileDialogKind::open;
  Text filter;  // "description|pattern|description|pattern…"
  Text default_extension;
};

// A row for list_append_rows: the texts of its two cells.
struct ListRow {
  Text id;
  Text signature;
};

class WindowOperations {
 public:
  virtual ~WindowOperations() = default;

  // The signature list 超级列表框1. Rows and columns are numbered from 0; a row or column that
  // does not exist gives an empty text or 0, and leaves the list unchanged.
  virtual int32_t list_insert_row() = 0;  // index of the new row, -1 when it cannot be added
  // Appends the rows after the last one, in order, as one operation, each with its two cells and
  // the row value 0: one hand-over to the window's thread for a page of rows instead of three
  // per row. The index of the first new row, -1 when the list cannot take them.
  virtual int32_t list_append_rows(const std::vector<ListRow>& rows) = 0;
  virtual void list_set_cell(int32_t row, int32_t column, const Text& text) = 0;
  virtual Text list_cell_text(int32_t row, int32_t column) = 0;
  virtual int32_t list_row_count() = 0;
  virtual int32_t list_row_value(int32_t row) = 0;
  virtual void list_set_row_value(int32_t row, int32_t value) = 0;
  virtual void list_delete_row(int32_t row) = 0;
  virtual void list_clear() = 0;

  virtual void set_caption(Control control, const Text& text) = 0;
  virtual void set_disabled(Control control, bool disabled) = 0;
  virtual Text control_text(Control control) = 0;

  // Runs on the calling thread; the title defaults to "信息：".
  virtual void show_message(const Text& text, int32_t style,
                            const std::optional<Text>& title = std::nullopt) = 0;
  // Shows the menu "菜单" at the pointer; a chosen item runs its command after the popup closes.
  virtual void popup_menu() = 0;

  virtual void file_dialog_setup(const FileDialogSetup& setup) = 0;
  // True when the user confirmed a file; the dialog then remembers its full path.
  virtual bool file_dialog_open() = 0;
  virtual Text file_dialog_file_name() = 0;

  // Handles every event already waiting for the window's thread, then returns.
  virtual void process_events() = 0;

  // Carries out a group of operations on the window's thread without waiting for it: the caller
  // goes on at once, and whatever it calls afterwards acts after the group. The group owns what
  // it uses. Each operation in it acts as it would alone, in order; once the window is closing,
  // a group from another thread is dropped, as each of its operations would give its empty
  // result. Without a thread to hand over to, the group runs at once.
  virtual void hand_over(std::function<void(WindowOperations&)> operations) { operations(*this); }

  // True once the window is closing: from then on, calls from other threads return their empty
  // results at once; on the window's thread they still act on the controls, which last until the
  // process ends.
  virtual bool window_closing() = 0;
};

}  // namespace tarnwick
