// A collection run of 1,000 pages against the in-process sample site, timed against a plain
// libcurl loop over the same pages in the same process, and the memory the run leaves behind
// compared with what its rows need.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "collect/run.h"
#include "core/numbers.h"
#include "core/random.h"
#include "support/plain_curl.h"
#include "support/ratio_reporter.h"
#include "support/sample_pages_bench.h"
#include "web/fetch.h"

namespace tarnwick {
namespace {

// A window that only keeps the rows.
class CheapWindow final : public WindowOperations {
 public:
  explicit CheapWindow(int32_t count) : count_(std::to_string(count)) {}

  int32_t list_insert_row() override {
    rows_.emplace_back();
    return static_cast<int32_t>(rows_.size()) - 1;
  }
  int32_t list_append_rows(const std::vector<ListRow>& added) override {
    const auto first = static_cast<int32_t>(rows_.size());
    for (const ListRow& row : added) rows_.emplace_back(row.id, row.signature);
    return first;
  }
  void list_set_cell(int32_t row, int32_t column, const Text& text) override {
    auto& cells = rows_[static_cast<size_t>(row)];
    (column == 0 ? cells.first : cells.second) = text;
  }
  Text list_cell_text(int32_t, int32_t) override { return {}; }
  int32_t list_row_count() override { return static_cast<int32_t>(rows_.size()); }
  int32_t list_row_value(int32_t) override { return 0; }
  void list_set_row_value(int32_t, int32_t) override {}
  void list_delete_row(int32_t) override {}
  void list_clear() override { rows_.clear(); }
  void set_caption(Control, const Text&) override {}
  void set_disabled(Control, bool) override {}
  Text control_text(Control) override { return count_; }
  void show_message(const Text&, int32_t, const std::optional<Text>&) override {}
  void popup_menu() override {}
  void file_dialog_setup(const FileDialogSetup&) override {}
  bool file_dialog_open() override { return false; }
  Text file_dialog_file_name() override { return {}; }
  void process_events() override {}
  bool window_closing() override { return false; }

  size_t row_count() const { return rows_.size(); }

  // The heap the rows occupy: the row cells and every text too long for the string's own buffer,
  // counted as glibc's allocator rounds it.
  size_t row_bytes() const {
    size_t bytes = rows_.size() * sizeof(Row);
    auto heap = [](const Text& text) -> size_t {
      const size_t capacity = text.str().capacity();
      if (capacity <= 15) return 0;
      return (capacity + 1 + 8 + 15) / 16 * 16;
    };
    for (const Row& row : rows_) bytes += heap(row.first) + heap(row.second);
    return bytes;
  }

 private:
  using Row = std::pair<Text, Text>;
  Text count_;
  std::deque<Row> rows_;
};

size_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  size_t size = 0;
  size_t resident = 0;
  statm >> size >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

void BM_PlainCurlLoop(benchmark::State& state) {
  const std::vector<int32_t> pages = bench::drawn_pages();
  size_t bytes = 0;
  for (auto _ : state) bytes += bench::plain_curl_pages(bench::site().host(), pages);
  benchmark::DoNotOptimize(bytes);
  state.counters["pages"] = bench::page_count;
  state.counters["bytes/page"] =
      static_cast<double>(bytes) / bench::page_count / state.iterations();
}

// The run's fetches alone, to tell the fetch layer's share of the run's time from the run's own.
void BM_FetchPageLoop(benchmark::State& state) {
  const std::vector<int32_t> pages = bench::drawn_pages();
  const Text prefix = concat_text("http://", Text(bench::site().host()), "/qqgexing/");
  for (auto _ : state) {
    for (int32_t page : pages) {
      benchmark::DoNotOptimize(fetch_page(concat_text(prefix, int_to_text(page), ".html")));
    }
  }
}

// Warm-up: the first fetches set up libcurl and the allocator's arenas.
void warm_up() {
  CheapWindow warm(20);
  RunControl control;
  collection_run(warm, control, Text(bench::site().host()));
}

// Resident memory that one run leaves behind while its rows are still listed, measured before
// any benchmark, in a process that has not yet held the rows of another run.
void report_memory_of_one_run() {
  warm_up();
  CheapWindow window(bench::page_count);
  RunControl control;
  seed_random(bench::page_seed);
  const size_t before = resident_bytes();
  collection_run(window, control, Text(bench::site().host()));
  const double growth = static_cast<double>(resident_bytes()) - static_cast<double>(before);
  const double row_bytes = static_cast<double>(window.row_bytes());
  std::printf("memory: %zu rows need %.2f MB; resident memory grew by %.2f MB (%.3f of the rows)\n",
              window.row_count(), row_bytes / 1e6, growth / 1e6, growth / row_bytes);
}

void BM_CollectionRun(benchmark::State& state) {
  warm_up();
  for (auto _ : state) {
    state.PauseTiming();
    auto window = std::make_unique<CheapWindow>(bench::page_count);
    RunControl control;
    seed_random(bench::page_seed);
    state.ResumeTiming();

    collection_run(*window, control, Text(bench::site().host()));

    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
}

}  // namespace
}  // namespace tarnwick

BENCHMARK(tarnwick::BM_PlainCurlLoop)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(tarnwick::BM_FetchPageLoop)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(tarnwick::BM_CollectionRun)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  tarnwick::report_memory_of_one_run();
  tarnwick::bench::RatioReporter reporter("BM_PlainCurlLoop/", "BM_CollectionRun/");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratio("run / plain libcurl loop", tarnwick::bench::page_count);
  benchmark::Shutdown();
  return 0;
}
