// How the cost of a C interface call grows with the program around it: a
// simulated attribute set and read back with 1, 10, 100 and 1000 sessions
// open and used in turn (the cost per call should stay flat), and with 1 to
// 8 threads each on its own session (the throughput should grow as far as
// the machine's cores allow). What the cores allow is measured in the same
// run, with snprintf on as many threads: on a shared machine it is less than
// their number.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "capi/simulated_sessions.h"
#include "support/paired_rounds.h"
#include "support/ratio_runner.h"

namespace {

using hvzelta::bench::CloseAll;
using hvzelta::bench::Goal;
using hvzelta::bench::Median;
using hvzelta::bench::OpenSimulated;
using hvzelta::bench::SetThenGet;

constexpr int kSessionCounts[] = {1, 10, 100, 1000};

std::string SessionsName(int sessions) { return "BM_CSetGetAcross" + std::to_string(sessions) + "Sessions"; }

void SetThenGetAcross(benchmark::State& state, int count) {
  const std::vector<ViSession> sessions = OpenSimulated(count);
  if (sessions.size() != static_cast<std::size_t>(count)) {
    state.SkipWithError("a simulated session did not open");
  } else {
    std::size_t next = 0;
    for (auto _ : state) {
      if (!SetThenGet(sessions[next])) {
        state.SkipWithError("a call failed");
        break;
      }
      next = next + 1 == sessions.size() ? 0 : next + 1;
    }
  }
  CloseAll(sessions);
}

// Per thread and batch: about ten milliseconds for each, longer than the
// scheduler's time slice, and so long that starting the threads is lost in it.
constexpr int kSetGetPairsPerThread = 20000;
constexpr int kSnprintfCallsPerThread = 80000;

// Seconds from the threads' common start to the last one's end, each thread
// working on its own slot; negative when the work failed.
template <typename Work>
double OnThreads(int threads, Work work) {
  std::latch start(1);
  std::atomic<bool> failed{false};
  std::vector<std::thread> workers;
  for (int slot = 0; slot < threads; ++slot) {
    workers.emplace_back([&, slot] {
      start.wait();
      if (!work(slot)) failed = true;
    });
  }
  const auto begin = std::chrono::steady_clock::now();
  start.count_down();
  for (std::thread& worker : workers) worker.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  return failed ? -1 : seconds;
}

double SetThenGetOnThreads(const std::vector<ViSession>& sessions, int threads) {
  return OnThreads(threads, [&](int slot) {
    for (int i = 0; i < kSetGetPairsPerThread; ++i) {
      if (!SetThenGet(sessions[static_cast<std::size_t>(slot)])) return false;
    }
    return true;
  });
}

double SnprintfOnThreads(int threads) {
  return OnThreads(threads, [](int) {
    char text[64];
    double value = 229.99999999999997;
    for (int i = 0; i < kSnprintfCallsPerThread; ++i) {
      benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%.15g", value));
      benchmark::ClobberMemory();
    }
    return true;
  });
}

// The throughput gain on `threads` threads over one, ours and snprintf's,
// in rounds that run the four batches back to back (in turning order), so
// that each round's gains see the same load. The ratio is the median of the
// rounds' ratios.
void ReportThreadGain(const std::vector<ViSession>& sessions, int threads) {
  constexpr int kRounds = 11;
  const std::string figure =
      "C simulated set+get on " + std::to_string(threads) + " threads, a session each: throughput gain / snprintf's";
  const Goal goal = Goal::AtLeast(0.9);
  const std::function<double()> batches[] = {
      [&] { return SetThenGetOnThreads(sessions, 1); },
      [&] { return SetThenGetOnThreads(sessions, threads); },
      [] { return SnprintfOnThreads(1); },
      [&] { return SnprintfOnThreads(threads); },
  };
  std::vector<double> oursGains, referenceGains, ratios;
  for (int round = 0; round < kRounds; ++round) {
    double seconds[4];
    for (int i = 0; i < 4; ++i) {
      const int batch = (i + round) % 4;
      seconds[batch] = batches[batch]();
      if (seconds[batch] < 0) {
        hvzelta::bench::PrintNotMeasured(figure, goal, hvzelta::bench::Row::kResult, "NOT MEASURED (a call failed)");
        return;
      }
    }
    oursGains.push_back(threads * seconds[0] / seconds[1]);
    referenceGains.push_back(threads * seconds[2] / seconds[3]);
    ratios.push_back(oursGains.back() / referenceGains.back());
  }
  char ours[32], reference[32];
  std::snprintf(ours, sizeof ours, "%.2fx", Median(oursGains));
  std::snprintf(reference, sizeof reference, "%.2fx", Median(referenceGains));
  // When the other processes leave no second core, no work can gain from
  // threads, and the ratio says nothing about the driver.
  constexpr double kLeastMachineGain = 1.3;
  if (Median(referenceGains) < kLeastMachineGain) {
    hvzelta::bench::PrintRow(hvzelta::bench::Row::kResult, figure, ours, reference, "-", goal.Text(),
                             "UNJUDGED (no free core)");
    return;
  }
  hvzelta::bench::PrintResult(figure, ours, reference, Median(ratios), goal);
}

void ReportThreadGains(hvzelta::bench::Medians&) {
  constexpr int kThreadCounts[] = {2, 4, 8};
  const std::vector<ViSession> sessions = OpenSimulated(8);
  if (sessions.size() == 8) {
    for (const int threads : kThreadCounts) ReportThreadGain(sessions, threads);
  }
  CloseAll(sessions);
}

void Register() {
  for (const int sessions : kSessionCounts) {
    benchmark::RegisterBenchmark(SessionsName(sessions).c_str(),
                                 [sessions](benchmark::State& state) { SetThenGetAcross(state, sessions); });
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  std::vector<hvzelta::bench::Ratio> ratios;
  for (const int sessions : kSessionCounts) {
    if (sessions == 1) continue;
    ratios.push_back({"C simulated set+get, " + std::to_string(sessions) + " sessions open / 1 session",
                      SessionsName(sessions), SessionsName(1), Goal::AtMost(1.3)});
  }
  return hvzelta::bench::RunWithRatios(argc, argv, ratios, ReportThreadGains);
}
