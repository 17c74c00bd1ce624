#pragma once

// Runs a benchmark program's benchmarks (five repetitions, medians) and
// prints each ratio of one median against a reference measured in the same
// run, so that figures compare across machines.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace hvzelta::bench {

struct Ratio {
  const char* what;
  const char* ours;       // benchmark function name
  const char* reference;  // benchmark function name
  const char* goal;
  bool speed = false;  // reference time over ours (a bandwidth ratio) instead of ours over reference
};

// Keeps each benchmark's median time per iteration.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        nanoseconds[run.run_name.function_name] = run.GetAdjustedRealTime() * Scale(run.time_unit);
      }
    }
  }
  std::map<std::string, double> nanoseconds;

 private:
  static double Scale(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kMillisecond:
        return 1e6;
      case benchmark::kMicrosecond:
        return 1e3;
      case benchmark::kSecond:
        return 1e9;
      case benchmark::kNanosecond:
        break;
    }
    return 1;
  }
};

// `extra` may print further lines from the medians.
inline int RunWithRatios(int argc, char** argv, std::initializer_list<Ratio> ratios,
                         const std::function<void(std::map<std::string, double>&)>& extra = {}) {
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=5";
  std::string aggregates = "--benchmark_report_aggregates_only=true";
  args.push_back(repetitions.data());
  args.push_back(aggregates.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& medians = reporter.nanoseconds;
  std::printf("\n");
  for (const Ratio& ratio : ratios) {
    if (!medians.count(ratio.ours) || !medians.count(ratio.reference)) continue;
    const double value = ratio.speed ? medians[ratio.reference] / medians[ratio.ours]
                                     : medians[ratio.ours] / medians[ratio.reference];
    std::printf("ratio %-60s %6.2f  (goal %s)\n", ratio.what, value, ratio.goal);
  }
  if (extra) extra(medians);
  benchmark::Shutdown();
  return 0;
}

}  // namespace hvzelta::bench
