#include "visa/socket_input.h"

#include <algorithm>
#include <cstring>

#include "visa/socket_io.h"

namespace hvzelta::visa {

SocketInput::SocketInput(int fd, std::size_t capacity)
    : fd_(fd), capacity_(capacity), buffer_(new ViByte[capacity]) {}

ViStatus SocketInput::ReceiveSome(void* buffer, std::size_t capacity, const Deadline& deadline,
                                  std::size_t& received) {
  received = 0;
  if (capacity == 0) return VI_SUCCESS;
  if (at_ == end_) {
    // Bulk data skips the buffer.
    if (capacity >= capacity_) return Fill(buffer, capacity, deadline, received);
    std::size_t got = 0;
    if (ViStatus status = Fill(buffer_.get(), capacity_, deadline, got); status != VI_SUCCESS) return status;
    at_ = 0;
    end_ = got;
  }
  received = std::min(capacity, end_ - at_);
  std::memcpy(buffer, buffer_.get() + at_, received);
  at_ += received;
  return VI_SUCCESS;
}

ViStatus SocketInput::ReceiveExact(void* buffer, std::size_t size, const Deadline& deadline) {
  auto* at = static_cast<ViByte*>(buffer);
  while (size > 0) {
    std::size_t got = 0;
    if (ViStatus status = ReceiveSome(at, size, deadline, got); status != VI_SUCCESS) return status;
    at += got;
    size -= got;
  }
  return VI_SUCCESS;
}

void SocketInput::Discard() {
  at_ = end_ = 0;
  replyExpected_ = false;
  DiscardArrivedInput(fd_);
}

ViStatus SocketInput::Fill(void* buffer, std::size_t capacity, const Deadline& deadline, std::size_t& received) {
  if (replyExpected_) {
    replyExpected_ = false;
    return WaitForReply(buffer, capacity, deadline, received);
  }
  return visa::ReceiveSome(fd_, buffer, capacity, deadline, received);
}

// The time left is nearly the whole timeout right after a request, so the
// receive timeout is set again only when it has drifted by more than a
// sixteenth; a kernel timeout somewhat shorter than the time left is fine,
// since poll waits out the rest. A deadline that cannot be given to the
// kernel (none, or one already passed) waits with poll first instead.
ViStatus SocketInput::WaitForReply(void* buffer, std::size_t capacity, const Deadline& deadline,
                                   std::size_t& received) {
  const auto timeout = std::chrono::milliseconds(deadline.PollTimeout());
  const bool kernelCanWait = !deadline.Infinite() && timeout.count() > 0;
  const bool timeoutFits = receiveTimeout_ <= timeout && receiveTimeout_ >= timeout - timeout / 16;
  if (kernelCanWait && !timeoutFits) {
    receiveTimeout_ = SetReceiveTimeout(fd_, timeout) ? timeout : std::chrono::milliseconds{0};
  }
  if (!kernelCanWait || receiveTimeout_.count() == 0) {
    return visa::ReceiveSome(fd_, buffer, capacity, deadline, received, true);
  }
  const ViStatus status = ReceiveBlocking(fd_, buffer, capacity, received);
  // A signal, or a kernel timeout shorter than the time left, ended the
  // wait early: the rest of it goes by the deadline.
  if ((status == VI_SUCCESS && received == 0) || (status == VI_ERROR_TMO && !deadline.Expired())) {
    return visa::ReceiveSome(fd_, buffer, capacity, deadline, received);
  }
  return status;
}

}  // namespace hvzelta::visa
