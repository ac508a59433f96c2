// A window double for the commands: a real list with row values, captions, button states, a
// count box, recorded message boxes and a scripted file dialog. Single-threaded.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "collect/window_operations.h"
#include "core/cp936.h"

namespace tarnwick::testing {

class ListWindow final : public WindowOperations {
 public:
  struct Row {
    std::string id;         // code page 936
    std::string signature;  // code page 936
    int32_t value = 0;
  };
  struct Message {
    std::string text_utf8;
    int32_t style;
    std::optional<std::string> title_utf8;
  };

  std::vector<Row> rows;
  std::map<Control, std::string> captions_utf8;
  std::map<Control, bool> disabled;
  Text count_box;
  std::vector<Message> messages;

  FileDialogSetup dialog_setup;
  int dialogs_opened = 0;
  std::optional<Text> dialog_choice;  // the path the user confirms; none: the user cancels
  Text dialog_file_name;

  int process_events_calls = 0;
  std::function<void()> on_process_events;

  void add_rows(const std::vector<std::string>& signatures_utf8) {
    for (const std::string& signature : signatures_utf8)
      rows.push_back({std::to_string(rows.size() + 1), utf8_to_cp936(signature).str(), 0});
  }
  std::vector<std::string> signatures_utf8() const {
    std::vector<std::string> signatures;
    for (const Row& row : rows) signatures.push_back(cp936_to_utf8(Text(row.signature)));
    return signatures;
  }

  int32_t list_insert_row() override {
    rows.emplace_back();
    return static_cast<int32_t>(rows.size()) - 1;
  }
  int32_t list_append_rows(const std::vector<ListRow>& added) override {
    const auto first = static_cast<int32_t>(rows.size());
    for (const ListRow& row : added) rows.push_back({row.id.str(), row.signature.str(), 0});
    return first;
  }
  void list_set_cell(int32_t row, int32_t column, const Text& text) override {
    if (!has_row(row)) return;
    if (column == 0) at(row).id = text.str();
    if (column == 1) at(row).signature = text.str();
  }
  Text list_cell_text(int32_t row, int32_t column) override {
    if (!has_row(row) || column < 0 || column > 1) return {};
    return Text(column == 0 ? at(row).id : at(row).signature);
  }
  int32_t list_row_count() override { return static_cast<int32_t>(rows.size()); }
  int32_t list_row_value(int32_t row) override { return has_row(row) ? at(row).value : 0; }
  void list_set_row_value(int32_t row, int32_t value) override {
    if (has_row(row)) at(row).value = value;
  }
  void list_delete_row(int32_t row) override {
    if (has_row(row)) rows.erase(rows.begin() + row);
  }
  void list_clear() override { rows.clear(); }

  void set_caption(Control control, const Text& text) override {
    captions_utf8[control] = cp936_to_utf8(text);
  }
  void set_disabled(Control control, bool is_disabled) override { disabled[control] = is_disabled; }
  Text control_text(Control control) override {
    return control == Control::编辑框1 ? count_box : Text();
  }

  void show_message(const Text& text, int32_t style, const std::optional<Text>& title) override {
    std::optional<std::string> title_utf8;
    if (title) title_utf8 = cp936_to_utf8(*title);
    messages.push_back({cp936_to_utf8(text), style, title_utf8});
  }
  void popup_menu() override {}
  void file_dialog_setup(const FileDialogSetup& setup) override { dialog_setup = setup; }
  bool file_dialog_open() override {
    ++dialogs_opened;
    if (!dialog_choice) return false;
    dialog_file_name = *dialog_choice;
    return true;
  }
  Text file_dialog_file_name() override { return dialog_file_name; }
  void process_events() override {
    ++process_events_calls;
    if (on_process_events) on_process_events();
  }
  bool window_closing() override { return false; }

 private:
  bool has_row(int32_t row) const { return row >= 0 && row < static_cast<int32_t>(rows.size()); }
  Row& at(int32_t row) { return rows[static_cast<size_t>(row)]; }
};

}  // namespace tarnwick::testing
