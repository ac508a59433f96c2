#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "collect/extract.h"
#include "collect/locks.h"
#include "collect/run.h"
#include "core/bytes.h"
#include "core/cp936.h"
#include "core/random.h"
#include "sample_site/sample_pages.h"
#include "sample_site/sample_site.h"
#include "support/closed_port.h"
#include "web/fetch.h"
#include "web/wininet.h"

namespace tarnwick {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;  // ID cell, signature cell
using Log = std::vector<std::string>;                           // window calls, in UTF-8

std::string control_name(Control control) {
  switch (control) {
    case Control::MainWindow:
      return "MainWindow";
    case Control::超级列表框1:
      return "超级列表框1";
    case Control::标签1:
      return "标签1";
    case Control::编辑框1:
      return "编辑框1";
    case Control::按钮1:
      return "按钮1";
    case Control::按钮2:
      return "按钮2";
    case Control::按钮3:
      return "按钮3";
    case Control::按钮4:
      return "按钮4";
    case Control::通用对话框1:
      return "通用对话框1";
  }
  return "?";
}

// A window that records every call the run makes, in order, and keeps the list's rows.
class RecordingWindow final : public WindowOperations {
 public:
  explicit RecordingWindow(const std::string& count_utf8) : count_(utf8_to_cp936(count_utf8)) {}

  // Called after a caption has been recorded, on the run's thread.
  std::function<void(Control, const std::string& caption_utf8)> on_caption;

  int32_t list_insert_row() override {
    std::lock_guard lock(mutex_);
    log_.push_back("insert_row");
    if (closing_) return -1;
    rows_.emplace_back();
    return static_cast<int32_t>(rows_.size()) - 1;
  }
  int32_t list_append_rows(const std::vector<ListRow>& added) override {
    std::lock_guard lock(mutex_);
    log_.push_back("append_rows " + std::to_string(added.size()));
    if (closing_) return -1;
    const auto first = static_cast<int32_t>(rows_.size());
    for (const ListRow& row : added) {
      log_.push_back("row " + std::to_string(rows_.size()) + " " + cp936_to_utf8(row.id) + " " +
                     cp936_to_utf8(row.signature));
      rows_.emplace_back(row.id.str(), row.signature.str());
    }
    return first;
  }
  void list_set_cell(int32_t row, int32_t column, const Text& text) override {
    std::lock_guard lock(mutex_);
    log_.push_back("cell " + std::to_string(row) + " " + std::to_string(column) + " " +
                   cp936_to_utf8(text));
    if (closing_ || row < 0 || row >= static_cast<int32_t>(rows_.size())) return;
    if (column == 0) rows_[static_cast<size_t>(row)].first = text.str();
    if (column == 1) rows_[static_cast<size_t>(row)].second = text.str();
  }
  Text list_cell_text(int32_t, int32_t) override {
    record("list_cell_text");
    return {};
  }
  int32_t list_row_count() override {
    std::lock_guard lock(mutex_);
    log_.push_back("row_count");
    return closing_ ? 0 : static_cast<int32_t>(rows_.size());
  }
  int32_t list_row_value(int32_t) override {
    record("list_row_value");
    return 0;
  }
  void list_set_row_value(int32_t, int32_t) override { record("list_set_row_value"); }
  void list_delete_row(int32_t) override { record("list_delete_row"); }
  void list_clear() override { record("list_clear"); }

  void set_caption(Control control, const Text& text) override {
    std::string caption = cp936_to_utf8(text);
    record("caption " + control_name(control) + " " + caption);
    if (on_caption) on_caption(control, caption);
  }
  void set_disabled(Control control, bool disabled) override {
    record((disabled ? "disable " : "enable ") + control_name(control));
    if (control == Control::按钮2 && disabled) {
      std::lock_guard lock(mutex_);
      resting_ = true;
      resting_signal_.notify_all();
    }
  }
  Text control_text(Control control) override {
    record("text " + control_name(control));
    std::lock_guard lock(mutex_);
    return control == Control::编辑框1 && !closing_ ? count_ : Text();
  }

  void show_message(const Text&, int32_t, const std::optional<Text>&) override {
    record("show_message");
  }
  void popup_menu() override { record("popup_menu"); }
  void file_dialog_setup(const FileDialogSetup&) override { record("file_dialog_setup"); }
  bool file_dialog_open() override {
    record("file_dialog_open");
    return false;
  }
  Text file_dialog_file_name() override {
    record("file_dialog_file_name");
    return {};
  }
  void process_events() override { record("process_events"); }
  bool window_closing() override {
    std::lock_guard lock(mutex_);
    return closing_;
  }

  void close() {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  void set_count(const std::string& count_utf8) {
    std::lock_guard lock(mutex_);
    count_ = utf8_to_cp936(count_utf8);
    resting_ = false;
  }
  // Waits until the run has disabled 按钮2, its last step; false when that did not come in time.
  bool wait_until_resting(std::chrono::seconds bound) {
    std::unique_lock lock(mutex_);
    return resting_signal_.wait_for(lock, bound, [this] { return resting_; });
  }
  Rows rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
  }
  Log log() const {
    std::lock_guard lock(mutex_);
    return log_;
  }
  void clear_log() {
    std::lock_guard lock(mutex_);
    log_.clear();
  }

 private:
  void record(std::string call) {
    std::lock_guard lock(mutex_);
    log_.push_back(std::move(call));
  }

  mutable std::mutex mutex_;
  std::condition_variable resting_signal_;
  Text count_;
  bool closing_ = false;
  bool resting_ = false;
  Rows rows_;
  Log log_;
};

const Log resting_steps = {"caption 按钮1 开始采集", "caption 按钮2 采集完毕", "enable 按钮1",
                           "disable 按钮2"};

// What a run over these pages lists and calls, from the sample pages' own account of them.
struct Expected {
  Rows rows;
  Log log;
};

Expected expected_run(const std::vector<int32_t>& pages, size_t rows_before = 0) {
  Expected e;
  e.log.push_back("text 编辑框1");
  int32_t number = 0;
  auto pages_left = static_cast<int32_t>(pages.size());
  for (int32_t page : pages) {
    Log page_rows;
    for (const SampleEntry& entry : sample_entries(page)) {
      ++number;
      if (!entry.listed) continue;
      const std::string row = std::to_string(rows_before + e.rows.size());
      e.rows.emplace_back(std::to_string(number), entry.signature.str());
      page_rows.push_back("row " + row + " " + std::to_string(number) + " " +
                          cp936_to_utf8(entry.signature));
    }
    if (!page_rows.empty()) {
      e.log.push_back("append_rows " + std::to_string(page_rows.size()));
      e.log.insert(e.log.end(), page_rows.begin(), page_rows.end());
    }
    e.log.push_back("row_count");
    e.log.push_back("caption MainWindow 已经采集了" + std::to_string(rows_before + e.rows.size()) +
                    "条QQ签名了");
    e.log.push_back("caption 按钮1 还剩" + std::to_string(--pages_left) + "次");
  }
  e.log.insert(e.log.end(), resting_steps.begin(), resting_steps.end());
  return e;
}

std::vector<int32_t> draws_after_seed(uint32_t seed, int count) {
  seed_random(seed);
  std::vector<int32_t> pages;
  for (int i = 0; i < count; ++i) pages.push_back(random_between(100, 9000));
  seed_random(seed);
  return pages;
}

std::vector<std::string> paths_of(const std::vector<int32_t>& pages) {
  std::vector<std::string> paths;
  for (int32_t page : pages) paths.push_back("/qqgexing/" + std::to_string(page) + ".html");
  return paths;
}

class CollectionRun : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_settings_ = wininet_settings();
    ASSERT_TRUE(site_.start());
    host_ = Text(site_.host());
  }
  void TearDown() override {
    site_.stop();
    wininet_settings() = saved_settings_;
  }

  SampleSite site_;
  Text host_;
  RunControl control_;

 private:
  WinInetSettings saved_settings_;
};

TEST(SamplePages, EveryPageHoldsWhatItsEntriesPromise) {
  const Text left = R"(style="TEXT-ALIGN: center">)";
  for (int32_t page = sample_first_page; page <= sample_last_page; ++page) {
    SCOPED_TRACE(page);
    const std::vector<SampleEntry> entries = sample_entries(page);
    ASSERT_GE(entries.size(), 26u);
    ASSERT_LE(entries.size(), 34u);
    TextArray cut;
    ASSERT_EQ(extract_all_between(sample_page(page), left, "</P>", cut),
              static_cast<int32_t>(entries.size()));
    for (int32_t i = 1; i <= cut.size(); ++i) {
      const SampleEntry& entry = entries[static_cast<size_t>(i - 1)];
      ASSERT_EQ(cut.at(i), trim_both(entry.markup));
      const bool skipped = find_text(entry.markup, "签名"_cp936, false) >= 1 ||
                           find_text(entry.markup, "&nbsp;", true) >= 1;
      ASSERT_EQ(skipped, !entry.listed) << cp936_to_utf8(entry.markup);
    }
  }
  EXPECT_TRUE(sample_page(99).empty());
  EXPECT_TRUE(sample_page(9001).empty());
  EXPECT_TRUE(sample_entries(9001).empty());
}

struct SitePathCase {
  const char* path;
  int32_t page;  // 0: the site has no page there
};

TEST(SampleSite, ServesItsPagesAndAnswersEverythingElseWithNotFound) {
  SampleSite site;
  ASSERT_TRUE(site.start());
  const SitePathCase cases[] = {
      {"/qqgexing/100.html", 100},   {"/qqgexing/9000.html", 9000},
      {"/qqgexing/4321.html", 4321}, {"/qqgexing/99.html", 0},
      {"/qqgexing/9001.html", 0},    {"/qqgexing/0100.html", 0},
      {"/qqgexing/12a.html", 0},     {"/qqgexing/.html", 0},
      {"/qqgexing/100.htm", 0},      {"/", 0},
  };
  std::vector<std::string> paths;
  for (const SitePathCase& c : cases) {
    SCOPED_TRACE(c.path);
    Text headers;
    const ByteString body =
        fetch_page(Text("http://" + site.host() + c.path), {.raw_headers = &headers});
    const Text status_line = text_left(headers, find_text(headers, "\r\n", false) - 1);
    if (c.page != 0) {
      EXPECT_EQ(status_line, "HTTP/1.1 200 OK");
      EXPECT_EQ(bytes_to_text(body), sample_page(c.page));
    } else {
      EXPECT_EQ(status_line, "HTTP/1.1 404 Not Found");
    }
    paths.emplace_back(c.path);
  }
  EXPECT_EQ(site.request_paths(), paths);
}

TEST_F(CollectionRun, ReadsTheDrawnPagesIntoNumberedRowsAndShowsProgress) {
  const std::vector<int32_t> pages = draws_after_seed(20261211, 3);
  const int32_t locks_before = lock_registry_size();
  RecordingWindow window("3");

  collection_run(window, control_, host_);

  EXPECT_EQ(site_.request_paths(), paths_of(pages));
  const Expected expected = expected_run(pages);
  EXPECT_EQ(window.rows(), expected.rows);
  EXPECT_EQ(window.log(), expected.log);
  // The rows skip the numbers of skipped entries and run on across pages.
  ASSERT_LT(expected.rows.size(), sample_entries(pages[0]).size() +
                                      sample_entries(pages[1]).size() +
                                      sample_entries(pages[2]).size());
  ASSERT_EQ(lock_registry_size(), locks_before + 1);
  EXPECT_TRUE(lock_registry_entry(locks_before + 1).deleted());
}

TEST_F(CollectionRun, ASecondRunAppendsBelowTheFirstAndNumbersFromOne) {
  const std::vector<int32_t> first_pages = draws_after_seed(7, 2);
  RecordingWindow window("2");
  collection_run(window, control_, host_);
  const Rows first_rows = window.rows();

  const std::vector<int32_t> second_pages = draws_after_seed(8, 1);
  window.set_count("1");
  window.clear_log();
  collection_run(window, control_, host_);

  const Expected second = expected_run(second_pages, first_rows.size());
  Rows all = expected_run(first_pages).rows;
  all.insert(all.end(), second.rows.begin(), second.rows.end());
  EXPECT_EQ(window.rows(), all);
  EXPECT_EQ(window.log(), second.log);
}

struct CountCase {
  const char* name;
  const char* count;
};

void PrintTo(const CountCase& count_case, std::ostream* out) { *out << count_case.name; }

class CollectionRunCount : public CollectionRun, public ::testing::WithParamInterface<CountCase> {};

TEST_P(CollectionRunCount, ReadsNoPageAndRestsAtOnce) {
  RecordingWindow window(GetParam().count);
  collection_run(window, control_, host_);
  EXPECT_TRUE(site_.request_paths().empty());
  EXPECT_TRUE(window.rows().empty());
  Log expected = {"text 编辑框1"};
  expected.insert(expected.end(), resting_steps.begin(), resting_steps.end());
  EXPECT_EQ(window.log(), expected);
}

INSTANTIATE_TEST_SUITE_P(NotAPositiveNumber, CollectionRunCount,
                         ::testing::Values(CountCase{"zero", "0"}, CountCase{"letters", "abc"},
                                           CountCase{"negative", "-2"}, CountCase{"empty", ""}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

size_t thread_count() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    ++count;
  }
  return count;
}

// The worker is detached: once its run has rested, wait until its thread is gone as well, so that
// the thread's own clean-up (the TLS library's per-thread state) is done before the test ends.
bool wait_for_thread_count(size_t count) {
  for (int i = 0; i < 1000 && thread_count() != count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return thread_count() == count;
}

enum class PageFailure { refused, not_found, stalled };

std::string failure_name(PageFailure failure) {
  switch (failure) {
    case PageFailure::refused:
      return "refused";
    case PageFailure::not_found:
      return "not_found";
    case PageFailure::stalled:
      return "stalled";
  }
  return "unknown";
}

void PrintTo(PageFailure failure, std::ostream* out) { *out << failure_name(failure); }

class CollectionRunFailure : public CollectionRun,
                             public ::testing::WithParamInterface<PageFailure> {};

TEST_P(CollectionRunFailure, CountsTheFailedPageAsRead) {
  Text host = host_;
  switch (GetParam()) {
    case PageFailure::refused:
      host = Text("127.0.0.1:" + std::to_string(closed_port()));
      break;
    case PageFailure::not_found:
      host = concat_text(host_, "/missing");  // the site answers 404 outside /qqgexing/
      break;
    case PageFailure::stalled:
      site_.set_delay_ms(60'000);
      wininet_settings().stall_timeout_ms = 300;
      break;
  }
  RecordingWindow window("2");
  collection_run(window, control_, host);

  EXPECT_TRUE(window.rows().empty());
  Log expected = {"text 编辑框1",          "row_count", "caption MainWindow 已经采集了0条QQ签名了",
                  "caption 按钮1 还剩1次", "row_count", "caption MainWindow 已经采集了0条QQ签名了",
                  "caption 按钮1 还剩0次"};
  expected.insert(expected.end(), resting_steps.begin(), resting_steps.end());
  EXPECT_EQ(window.log(), expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, CollectionRunFailure,
                         ::testing::Values(PageFailure::refused, PageFailure::not_found,
                                           PageFailure::stalled),
                         [](const auto& param_info) { return failure_name(param_info.param); });

TEST_F(CollectionRun, StopBetweenPagesKeepsTheRowsAndRests) {
  const std::vector<int32_t> pages = draws_after_seed(99, 1);
  RecordingWindow window("5");
  window.on_caption = [this](Control control, const std::string& caption) {
    if (control == Control::按钮1 && caption == "还剩4次") control_.request_stop();
  };

  collection_run(window, control_, host_);

  EXPECT_EQ(site_.request_paths(), paths_of(pages));
  const Expected expected = expected_run(pages);
  EXPECT_EQ(window.rows(), expected.rows);
  Log log = window.log();
  ASSERT_GE(log.size(), resting_steps.size() + 1);
  EXPECT_EQ(log[log.size() - resting_steps.size() - 1], "caption 按钮1 还剩4次");
  EXPECT_EQ(Log(log.end() - static_cast<ptrdiff_t>(resting_steps.size()), log.end()),
            resting_steps);
  // The stop request does not outlive the run on its thread.
  EXPECT_FALSE(fetch_page(concat_text("http://", host_, "/qqgexing/100.html")).empty());
}

TEST_F(CollectionRun, ClosingWindowEndsTheRunBeforeItsNextPage) {
  RecordingWindow window("5");
  window.on_caption = [&window](Control control, const std::string& caption) {
    if (control == Control::按钮1 && caption == "还剩4次") window.close();
  };
  collection_run(window, control_, host_);
  EXPECT_EQ(site_.request_paths().size(), 1u);
  Log log = window.log();
  EXPECT_EQ(Log(log.end() - static_cast<ptrdiff_t>(resting_steps.size()), log.end()),
            resting_steps);
}

// A fetch that the site never answers ends soon after the stop request, long before the
// stall time-out of 30 seconds would end it.
TEST_F(CollectionRun, StopAbandonsTheFetchInFlight) {
  site_.set_delay_ms(120'000);
  RecordingWindow window("3");
  const size_t threads_before = thread_count();
  auto control = std::make_shared<RunControl>();
  auto start = std::make_unique<CollectionStart>(CollectionStart{&window, control, host_});
  ASSERT_TRUE(start_thread(collection_thread_entry, reinterpret_cast<intptr_t>(start.get())));
  start.release();

  for (int i = 0; i < 1000 && site_.request_paths().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(site_.request_paths().size(), 1u);
  control->request_stop();

  ASSERT_TRUE(window.wait_until_resting(std::chrono::seconds(10)));
  EXPECT_TRUE(window.rows().empty());
  Log expected = {"text 编辑框1"};
  expected.insert(expected.end(), resting_steps.begin(), resting_steps.end());
  EXPECT_EQ(window.log(), expected);
  EXPECT_EQ(site_.request_paths().size(), 1u);
  EXPECT_TRUE(wait_for_thread_count(threads_before));
}

TEST_F(CollectionRun, ThreadEntryRunsOnItsOwnThread) {
  const std::vector<int32_t> pages = draws_after_seed(5, 2);
  RecordingWindow window("2");
  const size_t threads_before = thread_count();
  auto start = std::make_unique<CollectionStart>(
      CollectionStart{&window, std::make_shared<RunControl>(), host_});
  ASSERT_TRUE(start_thread(collection_thread_entry, reinterpret_cast<intptr_t>(start.get())));
  start.release();

  ASSERT_TRUE(window.wait_until_resting(std::chrono::seconds(60)));
  EXPECT_EQ(window.rows(), expected_run(pages).rows);
  EXPECT_EQ(site_.request_paths(), paths_of(pages));
  EXPECT_TRUE(wait_for_thread_count(threads_before));
}

}  // namespace
}  // namespace tarnwick
