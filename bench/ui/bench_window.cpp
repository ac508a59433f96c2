// The window under load: a worker that appends rows through the window operations while the
// window's thread runs its event loop, and a list of a million rows.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QTableView>
#include <chrono>
#include <fstream>
#include <thread>

#include "core/cp936.h"
#include "core/numbers.h"
#include "ui/app.h"
#include "ui/signature_list_model.h"

namespace tarnwick {
namespace {

MainWindow* window = nullptr;

// Runs work on a worker thread while the window's thread runs its event loop.
void on_worker_under_event_loop(const std::function<void()>& work) {
  QEventLoop loop;
  std::thread worker([&] {
    work();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
}

const Text& sample_signature() { return "人生就像一杯茶，不会苦一辈子，但总会苦一阵子"_cp936; }

void WorkerAppendsRows(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  WindowOperations& ops = window->operations();
  for (auto _ : state) {
    state.PauseTiming();
    ops.list_clear();
    state.ResumeTiming();
    on_worker_under_event_loop([&] {
      for (int i = 0; i < rows; ++i) {
        const int32_t row = ops.list_insert_row();
        ops.list_set_cell(row, 0, int_to_text(i));
        ops.list_set_cell(row, 1, sample_signature());
      }
    });
    if (ops.list_row_count() != rows) state.SkipWithError("rows were lost");
  }
  state.counters["rows_per_second"] =
      benchmark::Counter(static_cast<double>(rows) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["us_per_operation"] =
      benchmark::Counter(static_cast<double>(rows) * 3 * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  ops.list_clear();
}
BENCHMARK(WorkerAppendsRows)->Arg(100'000)->Unit(benchmark::kMillisecond)->UseRealTime();

void CrossThreadCall(benchmark::State& state) {
  constexpr int calls = 20'000;
  WindowOperations& ops = window->operations();
  for (auto _ : state) {
    on_worker_under_event_loop([&] {
      for (int i = 0; i < calls; ++i) benchmark::DoNotOptimize(ops.list_row_count());
    });
  }
  state.counters["us_per_call"] =
      benchmark::Counter(static_cast<double>(calls) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(CrossThreadCall)->Unit(benchmark::kMillisecond)->UseRealTime();

double resident_megabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

// A million rows appended on the window's thread, then one repaint of the list's last page.
void RepaintAtTheEndOfAMillionRows(benchmark::State& state) {
  constexpr int rows = 1'000'000;
  WindowOperations& ops = window->operations();
  ops.list_clear();
  QApplication::processEvents();
  const double before = resident_megabytes();
  for (int i = 0; i < rows; ++i) {
    const int32_t row = ops.list_insert_row();
    ops.list_set_cell(row, 0, int_to_text(i));
    ops.list_set_cell(row, 1, sample_signature());
  }
  window->list_model().show_appended_rows();
  QTableView* list = window->list();
  list->scrollToBottom();
  QApplication::processEvents();
  const double growth = resident_megabytes() - before;

  for (auto _ : state) list->viewport()->repaint();

  state.counters["rss_growth_MB"] = growth;
  state.counters["last_visible_row"] =
      list->rowAt(list->viewport()->height() - 1) == -1
          ? static_cast<double>(list->rowAt(list->viewport()->height() / 2))
          : static_cast<double>(list->rowAt(list->viewport()->height() - 1));
  ops.list_clear();
}
BENCHMARK(RepaintAtTheEndOfAMillionRows)->Unit(benchmark::kMicrosecond)->Iterations(50);

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  auto window = tarnwick::start_window(nullptr);
  tarnwick::window = window.get();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
