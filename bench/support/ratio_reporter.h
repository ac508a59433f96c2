// The console reporter of the benchmarks that time a run against a plain libcurl loop over the
// same pages: it keeps the real time of both and prints their ratio once the benchmarks are done.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // The loop's and the run's times are those of the benchmarks whose names contain loop_name and
  // run_name; of their aggregates, only the median counts. Both must report in milliseconds.
  RatioReporter(std::string loop_name, std::string run_name)
      : loop_name_(std::move(loop_name)), run_name_(std::move(run_name)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const double seconds = run.GetAdjustedRealTime() / 1e3;  // reported in milliseconds
      const std::string name = run.benchmark_name();
      if (name.find(loop_name_) != std::string::npos) loop_seconds_ = seconds;
      if (name.find(run_name_) != std::string::npos) run_seconds_ = seconds;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // "<label>: <run / loop> (run <s> s, loop <s> s per <pages> pages)", once both have run.
  void print_ratio(const char* label, int pages) const {
    if (loop_seconds_ > 0 && run_seconds_ > 0) {
      std::printf("%s: %.3f (run %.3f s, loop %.3f s per %d pages)\n", label,
                  run_seconds_ / loop_seconds_, run_seconds_, loop_seconds_, pages);
    }
  }

 private:
  std::string loop_name_;
  std::string run_name_;
  double loop_seconds_ = 0;
  double run_seconds_ = 0;
};

}  // namespace tarnwick::bench
