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
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "hvzelta.h"
#include "support/ratio_runner.h"

namespace {

using hvzelta::bench::Goal;

std::vector<ViSession> OpenSimulated(int count) {
  std::vector<ViSession> sessions;
  for (int i = 0; i < count; ++i) {
    ViSession vi = VI_NULL;
    if (hvzelta_InitWithOptions("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, "Simulate=true", &vi) !=
        VI_SUCCESS) {
      break;
    }
    sessions.push_back(vi);
  }
  return sessions;
}

void CloseAll(const std::vector<ViSession>& sessions) {
  for (const ViSession vi : sessions) hvzelta_close(vi);
}

bool SetThenGet(ViSession vi) {
  ViReal64 level = 0;
  return hvzelta_SetAttributeViReal64(vi, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, 229.99999999999997) ==
             VI_SUCCESS &&
         hvzelta_GetAttributeViReal64(vi, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, &level) == VI_SUCCESS;
}

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

constexpr int kThreadCounts[] = {1, 2, 4, 8};
// Per thread and batch: a few milliseconds, so that starting the threads is
// lost in it.
constexpr int kCallsPerThread = 5000;

std::string ThreadsName(const char* what, int threads) {
  return std::string("BM_") + what + "On" + std::to_string(threads) + "Threads";
}

// Each iteration is one batch: every thread makes its calls on its own slot;
// its time runs from the threads' common start to the last one's end.
template <typename Work>
void OnThreads(benchmark::State& state, int threads, Work work) {
  for (auto _ : state) {
    std::latch start(1);
    std::vector<std::thread> workers;
    for (int slot = 0; slot < threads; ++slot) {
      workers.emplace_back([&, slot] {
        start.wait();
        work(slot);
      });
    }
    const auto begin = std::chrono::steady_clock::now();
    start.count_down();
    for (std::thread& worker : workers) worker.join();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
  }
}

void SetThenGetOnThreads(benchmark::State& state, int threads) {
  const std::vector<ViSession> sessions = OpenSimulated(threads);
  if (sessions.size() != static_cast<std::size_t>(threads)) {
    state.SkipWithError("a simulated session did not open");
  } else {
    std::atomic<bool> failed{false};
    OnThreads(state, threads, [&](int slot) {
      for (int i = 0; i < kCallsPerThread; ++i) {
        if (!SetThenGet(sessions[static_cast<std::size_t>(slot)])) failed = true;
      }
    });
    if (failed) state.SkipWithError("a call failed");
  }
  CloseAll(sessions);
}

void SnprintfOnThreads(benchmark::State& state, int threads) {
  OnThreads(state, threads, [](int) {
    char text[64];
    double value = 229.99999999999997;
    for (int i = 0; i < kCallsPerThread; ++i) {
      benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%.15g", value));
      benchmark::ClobberMemory();
    }
  });
}

void Register() {
  for (const int sessions : kSessionCounts) {
    benchmark::RegisterBenchmark(SessionsName(sessions).c_str(),
                                 [sessions](benchmark::State& state) { SetThenGetAcross(state, sessions); });
  }
  for (const int threads : kThreadCounts) {
    benchmark::RegisterBenchmark(ThreadsName("CSetGet", threads).c_str(),
                                 [threads](benchmark::State& state) { SetThenGetOnThreads(state, threads); })
        ->UseManualTime()
        ->MinTime(0.2);
    benchmark::RegisterBenchmark(ThreadsName("Snprintf", threads).c_str(),
                                 [threads](benchmark::State& state) { SnprintfOnThreads(state, threads); })
        ->UseManualTime()
        ->MinTime(0.2);
  }
}

// Throughput on `threads` threads over that on one, from batch times.
double Gain(hvzelta::bench::Medians& medians, const char* what, int threads) {
  return threads * medians[ThreadsName(what, 1)] / medians[ThreadsName(what, threads)];
}

void PrintThreadGains(hvzelta::bench::Medians& medians) {
  for (const int threads : kThreadCounts) {
    if (threads == 1) continue;
    const std::string figure = "C simulated set+get on " + std::to_string(threads) +
                               " threads, a session each: throughput gain / snprintf's";
    const Goal goal = Goal::AtLeast(0.9);
    bool measured = true;
    for (const char* what : {"CSetGet", "Snprintf"}) {
      measured = measured && medians.count(ThreadsName(what, 1)) && medians.count(ThreadsName(what, threads));
    }
    if (!measured) {
      hvzelta::bench::PrintNotMeasured(figure, goal);
      continue;
    }
    const double ours = Gain(medians, "CSetGet", threads);
    const double reference = Gain(medians, "Snprintf", threads);
    char oursText[32], referenceText[32];
    std::snprintf(oursText, sizeof oursText, "%.2fx", ours);
    std::snprintf(referenceText, sizeof referenceText, "%.2fx", reference);
    hvzelta::bench::PrintResult(figure, oursText, referenceText, ours / reference, goal);
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
  return hvzelta::bench::RunWithRatios(argc, argv, ratios, PrintThreadGains);
}
