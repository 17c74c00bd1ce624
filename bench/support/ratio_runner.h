#pragma once

// Runs a benchmark program's benchmarks (five repetitions of at least a
// quarter of a second, medians) and prints each ratio of one median against
// a reference measured in the same run, so that figures compare across
// machines. Each figure is one tab-separated line that bench/run collects
// into its tables:
//
//   RESULT <figure> <our value> <reference value> <ratio> <goal> <verdict>
//
// or DETAIL instead of RESULT for the figures that only explain others (the
// share of one layer, another buffer size).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace hvzelta::bench {

// What a ratio should be; a figure without a bound is reported only.
struct Goal {
  enum class Kind { kReport, kAtMost, kAtLeast };
  Kind kind = Kind::kReport;
  double bound = 0;

  static Goal AtMost(double bound) { return {Kind::kAtMost, bound}; }
  static Goal AtLeast(double bound) { return {Kind::kAtLeast, bound}; }
  static Goal Report() { return {}; }

  std::string Text() const {
    if (kind == Kind::kReport) return "report";
    char text[32];
    std::snprintf(text, sizeof text, "%s %.2f", kind == Kind::kAtMost ? "<=" : ">=", bound);
    return text;
  }
  const char* Verdict(double ratio) const {
    switch (kind) {
      case Kind::kAtMost:
        return ratio <= bound ? "PASS" : "MISS";
      case Kind::kAtLeast:
        return ratio >= bound ? "PASS" : "MISS";
      case Kind::kReport:
        break;
    }
    return "-";
  }
};

enum class Row { kResult, kDetail };

inline const char* Tag(Row row) { return row == Row::kResult ? "RESULT" : "DETAIL"; }

// One line of the table, each field as it is shown.
inline void PrintRow(Row row, const std::string& figure, const std::string& ours, const std::string& reference,
                     const std::string& ratio, const std::string& goal, const std::string& verdict) {
  std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%s\n", Tag(row), figure.c_str(), ours.c_str(), reference.c_str(), ratio.c_str(),
              goal.c_str(), verdict.c_str());
}

inline void PrintResult(const std::string& figure, const std::string& ours, const std::string& reference, double ratio,
                        const Goal& goal, Row row = Row::kResult) {
  char ratioText[32];
  std::snprintf(ratioText, sizeof ratioText, "%.2f", ratio);
  PrintRow(row, figure, ours, reference, ratioText, goal.Text(), goal.Verdict(ratio));
}

// A figure that could not be measured still has its line, so that the table
// shows the gap instead of hiding it.
inline void PrintNotMeasured(const std::string& figure, const Goal& goal, Row row = Row::kResult,
                             const std::string& why = "NOT MEASURED") {
  PrintRow(row, figure, "-", "-", "-", goal.Text(), why);
}

// "812 ns", "18.4 us", "4.06 ms".
inline std::string Duration(double nanoseconds) {
  char text[32];
  if (nanoseconds < 1e3) {
    std::snprintf(text, sizeof text, "%.1f ns", nanoseconds);
  } else if (nanoseconds < 1e6) {
    std::snprintf(text, sizeof text, "%.2f us", nanoseconds / 1e3);
  } else if (nanoseconds < 1e9) {
    std::snprintf(text, sizeof text, "%.2f ms", nanoseconds / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.2f s", nanoseconds / 1e9);
  }
  return text;
}

struct Ratio {
  std::string figure;
  std::string ours;       // benchmark name
  std::string reference;  // benchmark name
  Goal goal;
  bool speed = false;  // reference time over ours (a bandwidth ratio) instead of ours over reference
  Row row = Row::kResult;
};

// Keeps each benchmark's median time per iteration, in nanoseconds: real
// time where the benchmark asks for it (it waits for a peer), else the
// thread's processor time, which the other processes of a shared machine
// leave alone.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        const double time = run.run_name.time_type.empty() ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
        nanoseconds[run.run_name.function_name] = time * Scale(run.time_unit);
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

using Medians = std::map<std::string, double>;

// `extra` may print further figures from the medians.
// The repetitions of all benchmarks run interleaved, so that the load of the
// machine, which drifts, weighs on ours and the references alike.
inline int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios,
                         const std::function<void(Medians&)>& extra = {}) {
  std::vector<char*> args(argv, argv + argc);
  std::string minimumTime = "--benchmark_min_time=0.25";
  std::string repetitions = "--benchmark_repetitions=5";
  std::string aggregates = "--benchmark_report_aggregates_only=true";
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  // Given first, so that the caller's own flags win.
  args.insert(args.begin() + 1, {minimumTime.data(), repetitions.data(), aggregates.data(), interleave.data()});
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  Medians& medians = reporter.nanoseconds;
  std::printf("\n");
  for (const Ratio& ratio : ratios) {
    if (!medians.count(ratio.ours) || !medians.count(ratio.reference)) {
      PrintNotMeasured(ratio.figure, ratio.goal, ratio.row);
      continue;
    }
    const double ours = medians[ratio.ours];
    const double reference = medians[ratio.reference];
    PrintResult(ratio.figure, Duration(ours), Duration(reference), ratio.speed ? reference / ours : ours / reference,
                ratio.goal, ratio.row);
  }
  if (extra) extra(medians);
  std::fflush(stdout);
  benchmark::Shutdown();
  return 0;
}

}  // namespace hvzelta::bench
