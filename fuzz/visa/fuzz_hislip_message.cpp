// Whatever a HiSLIP server sends must end a read, a status query or a
// device clear with a status: no crash, no overflow, no unbounded
// allocation. The input is what the server sends on the synchronous
// channel; the asynchronous channel gets the same bytes.

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

#include "visa/hislip_transport.h"

using namespace hvzelta::visa;

namespace {

UniqueFd ServerSays(const std::uint8_t* data, std::size_t size) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) __builtin_trap();
  if (size > 0 && ::send(fds[1], data, size, MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
    // A full buffer just cuts the input short.
  }
  ::shutdown(fds[1], SHUT_WR);
  ::close(fds[1]);
  return UniqueFd(fds[0]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ResourceName resource;
  resource.kind = ResourceKind::Hislip;
  resource.deviceName = "hislip0";
  HislipTransport transport(resource, ServerSays(data, size), ServerSays(data, size), HislipSession{});
  IoSettings io;
  io.timeoutMs = 0;
  io.termCharEnabled = size > 0 && (data[0] & 1);
  ViByte buffer[64];
  ViUInt32 received = 0;
  for (int i = 0; i < 4; ++i) {
    transport.Read(buffer, sizeof buffer, io, received);
    if (received > sizeof buffer) __builtin_trap();
  }
  ViUInt16 stb = 0;
  transport.ReadStatusByte(io, stb);
  transport.Clear(io);
  return 0;
}
