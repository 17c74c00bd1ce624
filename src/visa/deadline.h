#pragma once

// The moment a VISA operation must give up, from a timeout in milliseconds
// (VI_TMO_INFINITE waits as long as the caller asked). Every blocking call of
// the transports waits through poll() with the time this leaves.

#include <chrono>
#include <cstdint>

#include "visa/visa_types.h"

namespace hvzelta::visa {

// How much longer than the session timeout a transport waits for a device
// that enforces the timeout itself, so that the device's own timeout answer
// can arrive; a silent device ends the wait after this margin.
constexpr std::chrono::milliseconds kDeviceTimeoutMargin{250};

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  // The clock is read when the deadline is first needed, that is when an
  // operation has to wait: most transfers never do, and should not pay for it.
  static Deadline After(ViUInt32 timeoutMs) {
    Deadline deadline;
    deadline.infinite_ = timeoutMs == VI_TMO_INFINITE;
    deadline.timeout_ = std::chrono::milliseconds(deadline.infinite_ ? 0 : timeoutMs);
    return deadline;
  }
  static Deadline After(std::chrono::milliseconds timeout) {
    Deadline deadline;
    deadline.timeout_ = timeout;
    return deadline;
  }

  bool Infinite() const { return infinite_; }
  // The time the deadline gives from its start.
  Clock::duration Length() const { return timeout_; }
  // Whether the clock has started: a call has waited or asked what is left.
  bool Started() const { return started_; }
  bool Expired() const { return !infinite_ && Clock::now() >= At(); }

  // Milliseconds left for poll(): -1 when infinite, 0 once expired, rounded
  // up so that a poll never returns just before the deadline.
  int PollTimeout() const {
    if (infinite_) return -1;
    auto left = At() - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(ms);
  }

  // The milliseconds left, as a VISA timeout for a peer that times out itself.
  ViUInt32 RemainingMs() const {
    if (infinite_) return VI_TMO_INFINITE;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(At() - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<ViUInt32>(left >= VI_TMO_INFINITE ? VI_TMO_INFINITE - 1 : left);
  }

  // The same deadline pushed later by `margin`, for waits on a peer that
  // enforces the timeout itself and must be given the chance to say so.
  Deadline Extended(std::chrono::milliseconds margin) const {
    Deadline deadline = *this;
    deadline.at_ = At() + margin;
    deadline.started_ = true;
    return deadline;
  }

 private:
  Clock::time_point At() const {
    if (!started_) {
      at_ = Clock::now() + timeout_;
      started_ = true;
    }
    return at_;
  }

  Clock::duration timeout_{};
  mutable Clock::time_point at_{};
  mutable bool started_ = false;
  bool infinite_ = false;
};

}  // namespace hvzelta::visa
