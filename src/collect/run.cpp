#include "collect/run.h"

#include "collect/extract.h"
#include "collect/locks.h"
#include "core/bytes.h"
#include "core/cp936.h"
#include "core/numbers.h"
#include "core/random.h"
#include "web/fetch.h"
#include "web/wininet.h"

namespace tarnwick {

const char signature_site_host[] = TARNWICK_SITE_HOST;

namespace {

constexpr int32_t first_page_number = 100;
constexpr int32_t last_page_number = 9000;

const Text entry_left_marker = R"(style="TEXT-ALIGN: center">)";
const Text entry_right_marker = "</P>";

bool run_should_stop(WindowOperations& window, const RunControl& control) {
  return control.stop_requested() || window.window_closing();
}

// Transfers on this thread end soon after the stop flag turns true.
class ThreadAbortFlag {
 public:
  explicit ThreadAbortFlag(const std::atomic<bool>& flag) { set_thread_abort_flag(&flag); }
  ~ThreadAbortFlag() { set_thread_abort_flag(nullptr); }
  ThreadAbortFlag(const ThreadAbortFlag&) = delete;
  ThreadAbortFlag& operator=(const ThreadAbortFlag&) = delete;
};

}  // namespace

void collection_run(WindowOperations& window, const RunControl& control, const Text& site_host) {
  Lock run_lock = create_lock();
  enter_lock(run_lock);
  {
    ThreadAbortFlag abort_on_stop(control.stop_flag());

    const int32_t page_count = text_to_int(window.control_text(Control::编辑框1));
    int32_t pages_left = page_count;
    int32_t candidate_number = 0;
    TextArray candidates;
    std::vector<ListRow> page_rows;
    for (int32_t page = 0; page < page_count && !run_should_stop(window, control); ++page) {
      const int32_t page_number = random_between(first_page_number, last_page_number);
      const Text page_address =
          concat_text("http://", site_host, "/qqgexing/", int_to_text(page_number), ".html");
      const Text page_text = bytes_to_text(fetch_page(page_address));
      // A page cut short by the stop request is not listed.
      if (control.stop_requested()) break;

      extract_all_between(page_text, entry_left_marker, entry_right_marker, candidates);
      for (const Text& entry : candidates) {
        ++candidate_number;
        if (find_text(entry, "签名"_cp936, false) >= 1) continue;
        if (find_text(entry, "&nbsp;", true) >= 1) continue;
        page_rows.push_back({int_to_text(candidate_number), clean_signature(entry)});
      }
      --pages_left;
      // The window's thread lists the page while this thread fetches the next one.
      window.hand_over([rows = std::move(page_rows), pages_left](WindowOperations& on_window) {
        if (!rows.empty()) on_window.list_append_rows(rows);
        on_window.set_caption(
            Control::MainWindow,
            concat_text("已经采集了"_cp936, int_to_text(on_window.list_row_count()),
                        "条QQ签名了"_cp936));
        on_window.set_caption(Control::按钮1,
                              concat_text("还剩"_cp936, int_to_text(pages_left), "次"_cp936));
      });
      page_rows.clear();
    }
  }
  leave_lock(run_lock);
  delete_lock(run_lock);

  window.set_caption(Control::按钮1, "开始采集"_cp936);
  window.set_caption(Control::按钮2, "采集完毕"_cp936);
  window.set_disabled(Control::按钮1, false);
  window.set_disabled(Control::按钮2, true);
}

uint32_t collection_thread_entry(intptr_t parameter) {
  std::unique_ptr<CollectionStart> start(reinterpret_cast<CollectionStart*>(parameter));
  if (start == nullptr || start->window == nullptr || start->control == nullptr) return 0;
  collection_run(*start->window, *start->control, start->site_host);
  return 0;
}

}  // namespace tarnwick
