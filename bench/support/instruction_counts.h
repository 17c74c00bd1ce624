#pragma once

// Instruction counts beside the wall-clock ratios: they do not move with the
// load of a shared machine. A program hands its figures to
// CountInstructions(); run normally, that runs the program again under
// callgrind, reads what the second run counted and prints the figures; run
// under callgrind, it counts and tells the program to stop there.
//
// Only the calling thread's instructions in user space are counted: each
// call set runs a few times first uncounted (caches warm, lazy set-up done),
// then `kCountedCalls` times with collection on for this thread alone, so the
// threads of an in-process peer (the emulator) and the kernel stay out.
//
// A figure is ours over the reference, per call; with `unit`, it is what ours
// does beyond the reference (a raw client doing the same exchange) in units
// of one call of `unit`. Figures without a goal print as
//
//   INSTR <figure> <ratio>
//
// which bench/run shows in a column beside the wall-clock row of the same
// name; figures with a goal are RESULT rows of their own.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/ratio_runner.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define HVZELTA_BENCH_HAS_CALLGRIND 1
#else
#define HVZELTA_BENCH_HAS_CALLGRIND 0
#endif

namespace hvzelta::bench {

struct InstructionFigure {
  std::string figure;
  std::function<bool()> ours;
  std::function<bool()> reference;
  std::function<bool()> unit = {};
  Goal goal = Goal::Report();
  // Run uncounted after each counted set, like Contender::settle.
  std::function<bool()> settle = [] { return true; };
};

constexpr int kCountedCalls = 200;
constexpr int kWarmUpCalls = 20;

namespace instruction_detail {

inline const char* const kSections[] = {"ours", "reference", "unit"};

inline std::string SectionName(std::size_t figure, int section) {
  return "figure" + std::to_string(figure) + "." + kSections[section];
}

#if HVZELTA_BENCH_HAS_CALLGRIND
inline bool CountSection(const std::string& name, const std::function<bool()>& call,
                         const std::function<bool()>& settle) {
  for (int i = 0; i < kWarmUpCalls; ++i) {
    if (!call()) return false;
  }
  if (!settle()) return false;
  CALLGRIND_ZERO_STATS;
  CALLGRIND_TOGGLE_COLLECT;
  bool ok = true;
  for (int i = 0; i < kCountedCalls && ok; ++i) ok = call();
  CALLGRIND_TOGGLE_COLLECT;
  CALLGRIND_DUMP_STATS_AT(name.c_str());
  return settle() && ok;
}
#endif

// Instructions of each dump of `prefix` (callgrind names them prefix.1,
// prefix.2, ...) by the name the program gave it.
inline std::map<std::string, double> ReadDumps(const std::string& prefix) {
  std::map<std::string, double> counts;
  for (int dump = 1;; ++dump) {
    std::ifstream file(prefix + "." + std::to_string(dump));
    if (!file) break;
    std::string line, name;
    double total = -1;
    constexpr std::string_view kTrigger = "desc: Trigger: Client Request: ";
    while (std::getline(file, line)) {
      if (line.starts_with(kTrigger)) name = line.substr(kTrigger.size());
      if (line.starts_with("totals: ") || line.starts_with("summary: ")) total = std::atof(line.c_str() + line.find(' '));
    }
    if (!name.empty() && total >= 0) counts[name] = total;
  }
  return counts;
}

inline std::string Count(double instructions) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f instr", instructions);
  return text;
}

}  // namespace instruction_detail

// True in the run under callgrind, which the program ends right after.
inline bool CountInstructions(const std::vector<InstructionFigure>& figures) {
  using namespace instruction_detail;
#if HVZELTA_BENCH_HAS_CALLGRIND
  if (RUNNING_ON_VALGRIND) {
    for (std::size_t i = 0; i < figures.size(); ++i) {
      const InstructionFigure& figure = figures[i];
      const std::function<bool()>* calls[] = {&figure.ours, &figure.reference, &figure.unit};
      for (int section = 0; section < 3; ++section) {
        if (*calls[section] && !CountSection(SectionName(i, section), *calls[section], figure.settle)) break;
      }
    }
    return true;
  }
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("hvzelta-instr-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string prefix = (folder / "counts").string();
  const std::string command = "valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file=" + prefix +
                              " /proc/" + std::to_string(getpid()) + "/exe >" + (folder / "valgrind.log").string() +
                              " 2>&1";
  std::fflush(stdout);
  const int status = std::system(command.c_str());
  const auto counts = ReadDumps(prefix);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
#else
  const int status = -1;
  const std::map<std::string, double> counts;
#endif
  for (std::size_t i = 0; i < figures.size(); ++i) {
    const InstructionFigure& figure = figures[i];
    const auto found = [&](int section) { return counts.count(SectionName(i, section)) > 0; };
    if (!found(0) || !found(1) || (figure.unit && !found(2))) {
      if (figure.goal.kind != Goal::Kind::kReport) {
        PrintNotMeasured(figure.figure, figure.goal, Row::kResult,
                         status == 0 ? "NOT MEASURED (a call failed)" : "NOT MEASURED (no callgrind)");
      }
      continue;
    }
    const double ours = counts.at(SectionName(i, 0)) / kCountedCalls;
    const double reference = counts.at(SectionName(i, 1)) / kCountedCalls;
    const double unit = figure.unit ? counts.at(SectionName(i, 2)) / kCountedCalls : reference;
    const double ratio = figure.unit ? (ours - reference) / unit : ours / reference;
    if (figure.goal.kind == Goal::Kind::kReport) {
      std::printf("INSTR\t%s\t%.2f\n", figure.figure.c_str(), ratio);
    } else {
      PrintResult(figure.figure, Count(figure.unit ? ours - reference : ours), Count(unit), ratio, figure.goal);
    }
  }
  std::fflush(stdout);
  return false;
}

}  // namespace hvzelta::bench
