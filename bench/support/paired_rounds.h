#pragma once

// Measures one contender against its reference in short alternating rounds,
// so that both see the same load: on a shared machine the time of a loopback
// round trip drifts by more than the difference being measured, within
// seconds. The ratio is the median of the rounds' own ratios.

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace hvzelta::bench {

struct Contender {
  std::function<bool()> call;  // one call; false when it failed
  // Run after each round, untimed: commands without a reply pile up in the
  // instrument faster than it executes them, and must not slow the next round.
  std::function<bool()> settle = [] { return true; };
};

// Calls per round for queries: a few milliseconds of round trips.
constexpr int kQueriesPerRound = 200;
// Calls per round for commands without a reply: enough that the instrument
// stays awake through the round (a send that wakes the emulator costs several
// times one that does not, and no send of ours wakes a real instrument), few
// enough that a round fits the socket's first buffers, so that no send waits
// for the instrument either.
constexpr int kCommandsPerRound = 1000;

struct PairedResult {
  bool ok = false;
  double ours = 0;       // median time of one call, ns
  double reference = 0;  // median time of one call, ns
  double ratio = 0;      // median of ours over reference, round by round
};

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

namespace paired_detail {

// Time of one call in ns, averaged over a round; negative on failure.
inline double Round(const Contender& contender, int calls) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) {
    if (!contender.call()) return -1;
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  if (!contender.settle()) return -1;
  return std::chrono::duration<double, std::nano>(elapsed).count() / calls;
}

}  // namespace paired_detail

// `rounds` rounds of `calls` calls each, ours first in even rounds and the
// reference first in odd ones; one round of each is run first and dropped,
// so that connections and caches are warm.
inline PairedResult RunPaired(const Contender& ours, const Contender& reference, int rounds, int calls) {
  using paired_detail::Round;
  PairedResult result;
  if (Round(ours, calls) < 0 || Round(reference, calls) < 0) return result;
  std::vector<double> oursTimes, referenceTimes, ratios;
  for (int round = 0; round < rounds; ++round) {
    double oursTime, referenceTime;
    if (round % 2 == 0) {
      oursTime = Round(ours, calls);
      referenceTime = Round(reference, calls);
    } else {
      referenceTime = Round(reference, calls);
      oursTime = Round(ours, calls);
    }
    if (oursTime < 0 || referenceTime < 0) return result;
    oursTimes.push_back(oursTime);
    referenceTimes.push_back(referenceTime);
    ratios.push_back(oursTime / referenceTime);
  }
  result.ok = true;
  result.ours = Median(oursTimes);
  result.reference = Median(referenceTimes);
  result.ratio = Median(ratios);
  return result;
}

}  // namespace hvzelta::bench
