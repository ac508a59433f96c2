// The program's own paths with the real window on the offscreen platform: a collection run of
// 1,000 sample pages through the window's operations, measured in the same run as a plain
// libcurl loop over the same pages, and an export of 100,000 rows.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "collect/run.h"
#include "core/cp936.h"
#include "core/numbers.h"
#include "core/random.h"
#include "support/plain_curl.h"
#include "support/ratio_reporter.h"
#include "support/sample_pages_bench.h"
#include "ui/app.h"
#include "ui/commands.h"

namespace tarnwick {
namespace {

constexpr int32_t export_rows = 100'000;

MainWindow* shown_window = nullptr;

void BM_PlainCurlLoop(benchmark::State& state) {
  const std::vector<int32_t> pages = bench::drawn_pages();
  size_t bytes = 0;
  for (auto _ : state) bytes += bench::plain_curl_pages(bench::site().host(), pages);
  benchmark::DoNotOptimize(bytes);
}

// The run on a worker thread while the window's thread runs its event loop, as after Start.
void BM_CollectionRunIntoWindow(benchmark::State& state) {
  WindowOperations& ops = shown_window->operations();
  ops.set_caption(Control::编辑框1, int_to_text(bench::page_count));
  for (auto _ : state) {
    state.PauseTiming();
    ops.list_clear();
    seed_random(bench::page_seed);
    state.ResumeTiming();

    QEventLoop loop;
    std::thread worker([&] {
      RunControl control;
      collection_run(ops, control, Text(bench::site().host()));
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
  }
  state.counters["rows"] = ops.list_row_count();
}

// The window's operations, with the save dialog answered by a fixed path.
class ChosenFileWindow final : public WindowOperations {
 public:
  ChosenFileWindow(WindowOperations& window, Text path) : window_(window), path_(std::move(path)) {}

  int32_t list_insert_row() override { return window_.list_insert_row(); }
  int32_t list_append_rows(const std::vector<ListRow>& rows) override {
    return window_.list_append_rows(rows);
  }
  void list_set_cell(int32_t row, int32_t column, const Text& text) override {
    window_.list_set_cell(row, column, text);
  }
  Text list_cell_text(int32_t row, int32_t column) override {
    return window_.list_cell_text(row, column);
  }
  int32_t list_row_count() override { return window_.list_row_count(); }
  int32_t list_row_value(int32_t row) override { return window_.list_row_value(row); }
  void list_set_row_value(int32_t row, int32_t value) override {
    window_.list_set_row_value(row, value);
  }
  void list_delete_row(int32_t row) override { window_.list_delete_row(row); }
  void list_clear() override { window_.list_clear(); }
  void set_caption(Control control, const Text& text) override {
    window_.set_caption(control, text);
  }
  void set_disabled(Control control, bool disabled) override {
    window_.set_disabled(control, disabled);
  }
  Text control_text(Control control) override { return window_.control_text(control); }
  void show_message(const Text& text, int32_t, const std::optional<Text>&) override {
    std::fprintf(stderr, "message: %s\n", cp936_to_utf8(text).c_str());
  }
  void popup_menu() override {}
  void file_dialog_setup(const FileDialogSetup&) override {}
  bool file_dialog_open() override { return true; }
  Text file_dialog_file_name() override { return path_; }
  void process_events() override { window_.process_events(); }
  bool window_closing() override { return window_.window_closing(); }

 private:
  WindowOperations& window_;
  Text path_;
};

// The export takes the window's events after every row, as it must to keep the window usable.
void BM_Export(benchmark::State& state) {
  WindowOperations& ops = shown_window->operations();
  ops.list_clear();
  for (int32_t i = 0; i < export_rows; ++i) {
    const int32_t row = ops.list_insert_row();
    ops.list_set_cell(row, 0, int_to_text(i + 1));
    ops.list_set_cell(row, 1, "人生就像一杯茶，不会苦一辈子，但总会苦一阵子"_cp936);
  }
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tarnwick-export-" + std::to_string(getpid()));
  ChosenFileWindow chosen(ops, utf8_to_cp936(path.string()));
  Commands commands(chosen);
  for (auto _ : state) commands.export_command();
  state.counters["rows"] = export_rows;
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
  ops.list_clear();
}

}  // namespace
}  // namespace tarnwick

BENCHMARK(tarnwick::BM_PlainCurlLoop)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(tarnwick::BM_CollectionRunIntoWindow)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK(tarnwick::BM_Export)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  curl_global_init(CURL_GLOBAL_DEFAULT);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  std::unique_ptr<tarnwick::MainWindow> shown = tarnwick::start_window(nullptr);
  tarnwick::shown_window = shown.get();
  tarnwick::bench::RatioReporter reporter("BM_PlainCurlLoop", "BM_CollectionRunIntoWindow");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratio("run into the window / plain libcurl loop", tarnwick::bench::page_count);
  benchmark::Shutdown();
  return 0;
}
