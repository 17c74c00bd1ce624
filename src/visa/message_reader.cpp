#include "visa/message_reader.h"

#include <algorithm>
#include <cstring>

namespace hvzelta::visa {
namespace {

struct Stop {
  std::size_t index;
  ViStatus status;
};

// The first byte of `data` that ends a read, or index == size.
Stop FindStop(const ViByte* data, std::size_t size, const StopRule& rule) {
  if (rule.endChar < 0 && rule.endBits == 0) {
    if (rule.termChar < 0) return {size, VI_SUCCESS};
    const void* hit = std::memchr(data, rule.termChar, size);
    return {hit ? static_cast<std::size_t>(static_cast<const ViByte*>(hit) - data) : size, VI_SUCCESS_TERM_CHAR};
  }
  for (std::size_t i = 0; i < size; ++i) {
    // END outranks the termination character on the same byte.
    if (data[i] == rule.endChar || (data[i] & rule.endBits) != 0) return {i, VI_SUCCESS};
    if (data[i] == rule.termChar) return {i, VI_SUCCESS_TERM_CHAR};
  }
  return {size, VI_SUCCESS};
}

}  // namespace

ViStatus MessageReader::KeepSurplus(const ViByte* surplus, std::size_t size, bool ended, ViStatus stop) {
  if (size == 0) return ended ? VI_SUCCESS : stop;
  pending_.assign(surplus, surplus + size);
  pendingAt_ = 0;
  pendingEnded_ = ended;
  return stop;
}

ViStatus MessageReader::Read(IByteSource& source, ViByte* buffer, ViUInt32 count, const StopRule& rule,
                             const Deadline& deadline, ViUInt32& received) {
  received = 0;
  while (received < count) {
    ViByte* at = buffer + received;
    const std::size_t room = count - received;
    if (pendingAt_ < pending_.size()) {
      const std::size_t available = pending_.size() - pendingAt_;
      const std::size_t take = std::min(available, room);
      const ViByte* from = pending_.data() + pendingAt_;
      Stop stop = FindStop(from, take, rule);
      const std::size_t copied = stop.index < take ? stop.index + 1 : take;
      std::memcpy(at, from, copied);
      pendingAt_ += copied;
      received += static_cast<ViUInt32>(copied);
      const bool drained = pendingAt_ == pending_.size();
      const bool ended = drained && pendingEnded_;
      if (drained) Discard();
      if (ended) return VI_SUCCESS;
      if (stop.index < take) return stop.status;
      continue;
    }
    std::size_t got = 0;
    bool ended = false;
    if (ViStatus status = source.Receive(at, room, deadline, got, ended); status != VI_SUCCESS) return status;
    got = std::min(got, room);
    Stop stop = FindStop(at, got, rule);
    if (stop.index < got) {
      received += static_cast<ViUInt32>(stop.index + 1);
      return KeepSurplus(at + stop.index + 1, got - stop.index - 1, ended, stop.status);
    }
    received += static_cast<ViUInt32>(got);
    if (ended) return VI_SUCCESS;
  }
  return VI_SUCCESS_MAX_CNT;
}

void MessageReader::Discard() {
  pending_.clear();
  pendingAt_ = 0;
  pendingEnded_ = false;
}

}  // namespace hvzelta::visa
