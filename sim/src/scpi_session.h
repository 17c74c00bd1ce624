#pragma once

// One client's conversation with the instrument, whatever carries it: cuts
// the incoming bytes into program messages (ended by a newline or by the
// transport's END), runs each on the instrument, and hands each reply to the
// transport, shaped by the fault plan.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "fault_plan.h"
#include "instrument.h"

namespace zta_sim {

struct Reply {
  enum class Action { Send, Stall, Drop, Trickle };
  Action action = Action::Send;
  std::string_view bytes;  // Trickle: one chunk, sent over and over
  std::chrono::milliseconds delay{0};
  // Send: the bytes from `head` on go out `tailDelay` after the first ones.
  // Trickle: the time between chunks.
  std::size_t head = std::string_view::npos;
  std::chrono::milliseconds tailDelay{0};
};

class ReplySink {
 public:
  virtual ~ReplySink() = default;
  virtual void Deliver(const Reply& reply) = 0;
};

class ScpiSession {
 public:
  // Longest program message accepted; the rest of a longer one is dropped.
  static constexpr std::size_t kMaxMessage = 64 * 1024;

  ScpiSession(Instrument& instrument, FaultPlan& faults) : instrument_(instrument), faults_(faults) {}

  // `end`: the transport marks the end of a message after these bytes.
  void Feed(std::string_view bytes, bool end, ReplySink& sink);
  // Device clear: forgets partial input and lifts a stall.
  void Clear();

 private:
  void Append(std::string_view part);
  void Complete(std::string_view message, ReplySink& sink);

  Instrument& instrument_;
  FaultPlan& faults_;
  std::string pending_;
  bool overrun_ = false;  // dropping the rest of an overlong message
  bool stalled_ = false;  // a Stall fault struck: nothing more is answered
  std::string reply_;
};

}  // namespace zta_sim
