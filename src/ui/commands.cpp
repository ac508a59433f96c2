#include "ui/commands.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "core/cp936.h"
#include "core/numbers.h"
#include "core/random.h"

namespace tarnwick {

namespace {

// Writes whole lines through a buffer; a failed write is remembered and ends the writing.
class ExportFile {
 public:
  explicit ExportFile(const Text& path)
      : fd_(::open(cp936_to_utf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {}
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;
  ~ExportFile() { close(); }

  bool opened() const { return fd_ >= 0; }

  bool write_line(std::string_view line) {
    buffer_.append(line);
    buffer_.append("\r\n");
    return buffer_.size() < flush_threshold || flush();
  }

  // Writes what is buffered and closes the file; false when any byte could not be written.
  bool close() {
    if (fd_ < 0) return false;
    bool written = flush();
    if (::close(fd_) != 0) written = false;
    fd_ = -1;
    return written;
  }

 private:
  static constexpr size_t flush_threshold = 64 * 1024;

  bool flush() {
    std::string_view rest = buffer_;
    while (!rest.empty()) {
      const ssize_t count = ::write(fd_, rest.data(), rest.size());
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) return false;
      rest.remove_prefix(static_cast<size_t>(count));
    }
    buffer_.clear();
    return true;
  }

  int fd_;
  std::string buffer_;
};

}  // namespace

Commands::Commands(WindowOperations& window, Text site_host, ThreadStarter start)
    : window_(window), site_host_(std::move(site_host)), start_thread_(std::move(start)) {}

ThreadStarter Commands::default_thread_starter() {
  return [](ThreadRoutine routine, intptr_t parameter) { return start_thread(routine, parameter); };
}

void Commands::start_command() {
  const Text count = window_.control_text(Control::编辑框1);
  if (compare_text(count, "") == 0) {
    window_.show_message("请输入采集次数"_cp936, message_style_plain);
    return;
  }
  window_.set_caption(Control::按钮1, "采集中"_cp936);
  window_.set_caption(Control::按钮2, "结束采集"_cp936);
  window_.set_disabled(Control::按钮1, true);
  window_.set_disabled(Control::按钮2, false);

  const Lock start_lock = create_lock();
  enter_lock(start_lock);
  auto control = std::make_shared<RunControl>();
  auto start = std::make_unique<CollectionStart>(CollectionStart{&window_, control, site_host_});
  const bool started =
      start_thread_(collection_thread_entry, reinterpret_cast<intptr_t>(start.get()));
  if (started) {
    start.release();  // the worker owns it now
    current_run_ = std::move(control);
  }
  leave_lock(start_lock);
  delete_lock(start_lock);

  // With no worker nothing would ever bring the buttons back from their running look.
  if (!started) show_resting_or_start_look();
  a_run_was_started_ = a_run_was_started_ || started;
}

void Commands::show_resting_or_start_look() {
  window_.set_caption(Control::按钮1, a_run_was_started_ ? "开始采集"_cp936 : "开始"_cp936);
  window_.set_caption(Control::按钮2, a_run_was_started_ ? "采集完毕"_cp936 : "结束"_cp936);
  window_.set_disabled(Control::按钮1, false);
  window_.set_disabled(Control::按钮2, true);
}

void Commands::stop_command() {
  if (current_run_) current_run_->request_stop();
}

void Commands::export_command() {
  if (window_.list_row_count() == 0) {
    window_.show_message("目前没任何签名用户存在!"_cp936, message_style_information, "提示"_cp936);
    return;
  }
  window_.file_dialog_setup({.kind = FileDialogKind::save,
                             .filter = "文本文件(*.txt)|*.txt|所有文件(*.*)|*.*"_cp936,
                             .default_extension = ".xls"});
  if (!window_.file_dialog_open()) return;
  const Text path = window_.file_dialog_file_name();

  ExportFile file(path);
  bool written = file.opened();
  // Rows appended while the export takes events are not written.
  const int32_t row_count = window_.list_row_count();
  for (int32_t row = 0; written && row < row_count; ++row) {
    written = file.write_line(window_.list_cell_text(row, 1).view());
    window_.process_events();
  }
  written = file.close() && written;
  if (!written) {
    window_.show_message(concat_text("导出失败："_cp936, path), message_style_error, "提示"_cp936);
  }
}

void Commands::list_context_menu() { window_.popup_menu(); }

void Commands::delete_marked_command() {
  const int32_t row_count = window_.list_row_count();
  std::unordered_set<std::string> signatures_seen;
  signatures_seen.reserve(static_cast<size_t>(row_count));
  for (int32_t row = 0; row < row_count; ++row) {
    if (!signatures_seen.insert(window_.list_cell_text(row, 1).str()).second)
      window_.list_set_row_value(row, marked_row_value);
  }
  for (int32_t k = 1; k <= row_count; ++k) {
    const int32_t row = row_count - k;
    if (window_.list_row_value(row) == marked_row_value) window_.list_delete_row(row);
  }
}

void Commands::sample_rows_command() {
  window_.list_clear();
  seed_random(static_cast<uint32_t>(uptime_ms()));
  for (int i = 0; i < 15; ++i) {
    const int32_t row = window_.list_insert_row();
    window_.list_set_cell(row, 0, int_to_text(random_between(10, 15)));
    window_.list_set_cell(row, 1, int_to_text(random_between(21, 26)));
  }
}

}  // namespace tarnwick
