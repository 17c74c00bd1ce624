#include "error_queue.h"

namespace zta_sim {

bool ErrorQueue::Push(ScpiError error) {
  if (entries_.size() < kCapacity) {
    entries_.push_back(error);
    return true;
  }
  entries_.back() = ScpiError::QueueOverflow;
  return false;
}

ScpiError ErrorQueue::Pop() {
  if (entries_.empty()) return ScpiError::None;
  const ScpiError error = entries_.front();
  entries_.pop_front();
  return error;
}

}  // namespace zta_sim
