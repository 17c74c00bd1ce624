// Whatever a VXI-11 device sends back must end a call with a status: no
// crash, no overflow, no unbounded wait or allocation. The input is the
// device's side of the connection; every "XID!" in it becomes the
// transaction ID of the call being answered, so that inputs can reach past
// the ID check into the record-marking and result decoding.

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "visa/onc_rpc.h"

using namespace hvzelta::visa;

namespace {

constexpr std::uint8_t kMarker[4] = {'X', 'I', 'D', '!'};

// The transaction ID of the call the client sent on `device`.
bool ReadCallId(int device, std::uint8_t (&id)[4]) {
  std::uint8_t call[512];
  const ssize_t got = ::recv(device, call, sizeof call, MSG_DONTWAIT);
  if (got < 8) return false;
  std::copy(call + 4, call + 8, id);
  return true;
}

void Answer(int device, const std::uint8_t* data, std::size_t size, const std::uint8_t (&id)[4]) {
  std::vector<std::uint8_t> reply(data, data + size);
  for (auto at = reply.begin(); (at = std::search(at, reply.end(), kMarker, kMarker + 4)) != reply.end();) {
    at = std::copy(id, id + 4, at);
  }
  if (!reply.empty() && ::send(device, reply.data(), reply.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
    // A full buffer just cuts the reply short.
  }
  ::shutdown(device, SHUT_WR);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) __builtin_trap();
  const int device = fds[1];
  rpc::Client client{UniqueFd(fds[0])};
  const Deadline deadline = Deadline::After(ViUInt32{0});
  rpc::Arguments arguments;
  arguments.U32(1).U32(2).Opaque("inst0");
  std::uint8_t id[4] = {};
  if (client.Call(0x0607AF, 1, 12, arguments, nullptr, 0, deadline) == VI_SUCCESS && ReadCallId(device, id)) {
    Answer(device, data, size, id);
    if (client.BeginReply(deadline) == VI_SUCCESS) {
      ViUInt32 error = 0;
      ViUInt32 reason = 0;
      ViByte bytes[64];
      std::size_t length = 0;
      if (client.ReadU32(error, deadline) == VI_SUCCESS && client.ReadU32(reason, deadline) == VI_SUCCESS &&
          client.ReadOpaque(bytes, sizeof bytes, length, deadline) == VI_SUCCESS && length > sizeof bytes) {
        __builtin_trap();
      }
      client.EndReply(deadline);
    }
  }
  ::close(device);
  return 0;
}
