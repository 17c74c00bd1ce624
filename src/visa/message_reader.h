#pragma once

// Assembles reads from a byte stream: bytes go straight into the caller's
// buffer, the read stops at END, at a stop character or when the count is
// reached, and bytes that arrived after a stop character are kept for the
// next read. A short receive never ends a read by itself.

#include <cstddef>
#include <vector>

#include "visa/deadline.h"
#include "visa/visa_types.h"

namespace hvzelta::visa {

class IByteSource {
 public:
  // Waits for at least one byte. `ended` tells that the last byte returned
  // ends the device's message.
  virtual ViStatus Receive(ViByte* buffer, std::size_t capacity, const Deadline& deadline, std::size_t& received,
                           bool& ended) = 0;

 protected:
  ~IByteSource() = default;
};

// Bytes that end a read: the termination character (VI_SUCCESS_TERM_CHAR),
// and for serial lines a character or a bit pattern that stands for END
// (VI_SUCCESS).
struct StopRule {
  int termChar = -1;
  int endChar = -1;
  ViByte endBits = 0;
};

class MessageReader {
 public:
  ViStatus Read(IByteSource& source, ViByte* buffer, ViUInt32 count, const StopRule& rule, const Deadline& deadline,
                ViUInt32& received);
  void Discard();
  // Bytes that came after the stop of the last read are waiting: a reply
  // that said more than one message (a doubled reply), or the next message
  // a caller has not asked for yet.
  bool HasSurplus() const { return pendingAt_ < pending_.size(); }

 private:
  // Stores what followed a stop byte; returns the stop's status.
  ViStatus KeepSurplus(const ViByte* surplus, std::size_t size, bool ended, ViStatus stop);

  std::vector<ViByte> pending_;
  std::size_t pendingAt_ = 0;
  bool pendingEnded_ = false;
};

}  // namespace hvzelta::visa
