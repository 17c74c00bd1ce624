#pragma once

// The instrument's SCPI error queue: first in, first out, bounded. When it
// is full the newest entry becomes "Queue overflow" and later errors are
// lost, as SCPI prescribes.

#include <cstddef>
#include <deque>

#include "scpi_error.h"

namespace zta_sim {

class ErrorQueue {
 public:
  static constexpr std::size_t kCapacity = 20;

  // Returns false when the error was lost to an overflow.
  bool Push(ScpiError error);
  // The oldest error, or ScpiError::None when empty.
  ScpiError Pop();
  std::size_t Count() const { return entries_.size(); }
  void Clear() { entries_.clear(); }

 private:
  std::deque<ScpiError> entries_;
};

}  // namespace zta_sim
