#pragma once

// Decides, message by message, which injected fault strikes: the ones fixed
// to a message number, the random ones drawn from the seeded generator, and
// the one armed for the next message. Shared by every connection.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <string>

#include "zta_sim/emulator.h"

namespace zta_sim {

struct FaultDecision {
  std::optional<FaultKind> fault;
  std::chrono::milliseconds delay{0};  // before the reply goes out
};

class FaultPlan {
 public:
  FaultPlan(FaultOptions options, std::uint64_t seed);

  // Counts one program message and decides its fate.
  FaultDecision Next();
  void Arm(FaultKind kind);
  std::uint64_t Count() const;
  std::uint64_t FaultCount() const;

  // Rewrites a reply the way a Garbage, Truncate, Oversize, ShortBlock or
  // Doubled fault corrupts it.
  void Corrupt(FaultKind kind, std::string& reply);
  const FaultOptions& Options() const { return options_; }

 private:
  mutable std::mutex mutex_;
  const FaultOptions options_;
  std::mt19937_64 random_;
  std::uint64_t count_ = 0;
  std::uint64_t faultCount_ = 0;
  std::optional<FaultKind> armed_;
};

}  // namespace zta_sim
