#include "fault_plan.h"

#include <utility>

namespace zta_sim {

namespace {

constexpr std::size_t kOversize = (1u << 20) + 1;
constexpr std::string_view kShortBlockHeader = "#41024";

}  // namespace

FaultPlan::FaultPlan(FaultOptions options, std::uint64_t seed) : options_(std::move(options)), random_(seed) {}

FaultDecision FaultPlan::Next() {
  const std::lock_guard lock(mutex_);
  FaultDecision decision;
  decision.delay = options_.replyDelay;
  ++count_;
  if (armed_) {
    decision.fault = std::exchange(armed_, std::nullopt);
  } else {
    for (const Fault& fault : options_.faults) {
      const bool strikes = fault.atMessage != 0
                               ? fault.atMessage == count_
                               : std::uniform_real_distribution<double>(0.0, 1.0)(random_) < fault.probability;
      if (strikes) {
        decision.fault = fault.kind;
        break;
      }
    }
  }
  if (decision.fault) ++faultCount_;
  if (decision.fault == FaultKind::Late) decision.delay += options_.lateDelay;
  return decision;
}

void FaultPlan::Arm(FaultKind kind) {
  const std::lock_guard lock(mutex_);
  armed_ = kind;
}

std::uint64_t FaultPlan::Count() const {
  const std::lock_guard lock(mutex_);
  return count_;
}

std::uint64_t FaultPlan::FaultCount() const {
  const std::lock_guard lock(mutex_);
  return faultCount_;
}

void FaultPlan::Corrupt(FaultKind kind, std::string& reply) {
  switch (kind) {
    case FaultKind::Garbage: {
      const std::lock_guard lock(mutex_);
      std::uniform_int_distribution<int> printable('!', '~');
      const std::size_t length = reply.size() < 9 ? 8 : reply.size() - 1;
      reply.clear();
      for (std::size_t i = 0; i < length; ++i) reply += static_cast<char>(printable(random_));
      reply += '\n';
      break;
    }
    case FaultKind::Truncate:
      reply.resize(reply.size() / 2);
      break;
    case FaultKind::Oversize:
      reply.insert(reply.size() - 1, kOversize, '0');
      break;
    case FaultKind::ShortBlock:
      reply.insert(0, kShortBlockHeader);
      break;
    case FaultKind::Doubled:
      reply += std::string(reply);
      break;
    case FaultKind::Stall:
    case FaultKind::Drop:
    case FaultKind::Late:
    case FaultKind::Split:
    case FaultKind::Trickle:
      break;
  }
}

}  // namespace zta_sim
