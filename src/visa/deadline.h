#pragma once

// The moment a VISA operation must give up, from a timeout in milliseconds
// (VI_TMO_INFINITE waits as long as the caller asked). The clock starts when
// the deadline is made, that is when the operation starts: a wait that only
// begins later (bytes that come at 0.9 of the timeout, a second piece) gets
// what is left, never a fresh timeout. Every blocking call of the transports
// waits through poll() with the time this leaves.

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

  static Deadline After(ViUInt32 timeoutMs) {
    if (timeoutMs == VI_TMO_INFINITE) return Deadline(true, {});
    return Deadline(false, std::chrono::milliseconds(timeoutMs));
  }
  static Deadline After(std::chrono::milliseconds timeout) { return Deadline(false, timeout); }

  bool Infinite() const { return infinite_; }
  // The time the deadline gave from its start.
  Clock::duration Length() const { return length_; }
  bool Expired() const { return !infinite_ && Clock::now() >= at_; }

  // Milliseconds left for poll(): -1 when infinite, 0 once expired, rounded
  // up so that a poll never returns just before the deadline.
  int PollTimeout() const {
    if (infinite_) return -1;
    auto left = at_ - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(ms);
  }

  // The milliseconds left, as a VISA timeout for a peer that times out itself.
  ViUInt32 RemainingMs() const {
    if (infinite_) return VI_TMO_INFINITE;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(at_ - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<ViUInt32>(left >= VI_TMO_INFINITE ? VI_TMO_INFINITE - 1 : left);
  }

  // The same deadline pushed later by `margin`, for waits on a peer that
  // enforces the timeout itself and must be given the chance to say so.
  Deadline Extended(std::chrono::milliseconds margin) const {
    Deadline deadline = *this;
    if (!infinite_) deadline.at_ += margin;
    return deadline;
  }

 private:
  Deadline(bool infinite, std::chrono::milliseconds timeout)
      : at_(infinite ? Clock::time_point::max() : Clock::now() + timeout), length_(timeout), infinite_(infinite) {}

  Clock::time_point at_;
  Clock::duration length_;
  bool infinite_;
};

}  // namespace hvzelta::visa
