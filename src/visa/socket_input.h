#pragma once

// What a request-and-reply protocol receives from its socket. Each receive
// takes what has arrived, up to the buffer's size, and hands it out piece by
// piece: the framing of a reply (a record mark, a message header) and its
// contents, or the next pieces of a long reply that a caller reads a few
// kilobytes at a time, cost one system call. Bulk data at least as large as
// the buffer goes straight into the caller's memory. The first receive after
// a request, when the reply cannot be there yet, waits in the kernel for the
// time left (SO_RCVTIMEO): one system call instead of a receive that comes
// back empty, a poll and a receive.

#include <chrono>
#include <cstddef>
#include <memory>

#include "visa/deadline.h"
#include "visa/visa_types.h"

namespace hvzelta::visa {

class SocketInput {
 public:
  static constexpr std::size_t kCapacity = 16 * 1024;

  // `fd` is in blocking mode, as ConnectTcp leaves it; every other call on
  // it must pass MSG_DONTWAIT.
  explicit SocketInput(int fd, std::size_t capacity = kCapacity);

  // A request went out: the next receive that finds nothing buffered waits.
  void ExpectReply() { replyExpected_ = true; }

  // Waits for at least one byte and stores up to `capacity`, as ReceiveSome.
  ViStatus ReceiveSome(void* buffer, std::size_t capacity, const Deadline& deadline, std::size_t& received);
  // Stores exactly `size` bytes unless the deadline or the connection ends first.
  ViStatus ReceiveExact(void* buffer, std::size_t size, const Deadline& deadline);
  // Drops what is buffered and what has arrived, without waiting, so that
  // nothing received before reaches a later call; a reply is no longer
  // expected.
  void Discard();

 private:
  ViStatus Fill(void* buffer, std::size_t capacity, const Deadline& deadline, std::size_t& received);
  ViStatus WaitForReply(void* buffer, std::size_t capacity, const Deadline& deadline, std::size_t& received);

  int fd_;
  std::size_t capacity_;
  bool replyExpected_ = false;
  std::chrono::milliseconds receiveTimeout_{0};  // what SO_RCVTIMEO holds now; 0: unset
  std::unique_ptr<ViByte[]> buffer_;
  std::size_t at_ = 0;
  std::size_t end_ = 0;
};

}  // namespace hvzelta::visa
