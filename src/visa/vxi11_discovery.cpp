// Discovery of VXI-11 instruments: one port-mapper GETPORT for the core
// channel, sent by UDP to each address or subnet broadcast address the
// caller names; every port-mapper that knows a core channel is an
// instrument.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <charconv>
#include <cstring>
#include <optional>
#include <set>
#include <string>

#include "visa/onc_rpc.h"
#include "visa/resource_discovery.h"
#include "visa/unique_fd.h"

namespace hvzelta::visa {
namespace {

constexpr std::uint16_t kStandardPortmapperPort = 111;
constexpr ViUInt32 kTransactionId = 0x68767A31;  // any value; replies are matched on it

// "a.b.c.d" or "a.b.c.d/bits": the address to send to (the broadcast
// address of a subnet), in network byte order.
std::optional<in_addr_t> TargetAddress(std::string_view target) {
  const std::size_t slash = target.find('/');
  std::string address(target.substr(0, slash));
  in_addr parsed{};
  if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) return std::nullopt;
  if (slash == std::string_view::npos) return parsed.s_addr;
  unsigned bits = 0;
  const std::string_view digits = target.substr(slash + 1);
  auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), bits);
  if (problem != std::errc() || end != digits.data() + digits.size() || bits > 32) return std::nullopt;
  const std::uint32_t host = bits == 32 ? 0u : 0xFFFFFFFFu >> bits;
  return htonl(ntohl(parsed.s_addr) | host);
}

void Put(std::array<ViByte, 56>& message, std::size_t index, ViUInt32 value) {
  const ViUInt32 wire = htonl(value);
  std::memcpy(message.data() + index * 4, &wire, 4);
}

std::array<ViByte, 56> GetPortCall() {
  std::array<ViByte, 56> call{};
  const ViUInt32 words[] = {kTransactionId, rpc::kCall, rpc::kRpcVersion, rpc::kPortmapperProgram,
                            rpc::kPortmapperVersion, rpc::kPortmapperGetPort,
                            0, 0,  // credentials: none
                            0, 0,  // verifier: none
                            rpc::kVxi11CoreProgram, rpc::kVxi11CoreVersion, rpc::kProtocolTcp, 0};
  for (std::size_t i = 0; i < std::size(words); ++i) Put(call, i, words[i]);
  return call;
}

// The port a GETPORT reply carries; nothing for anything else.
std::optional<ViUInt32> PortOfReply(const ViByte* data, std::size_t size) {
  auto word = [&](std::size_t index) -> std::optional<ViUInt32> {
    if ((index + 1) * 4 > size) return std::nullopt;
    ViUInt32 wire = 0;
    std::memcpy(&wire, data + index * 4, 4);
    return ntohl(wire);
  };
  if (word(0) != kTransactionId || word(1) != rpc::kReply || word(2) != rpc::kMsgAccepted) return std::nullopt;
  const std::optional<ViUInt32> verifierLength = word(4);
  if (!verifierLength || *verifierLength > 400) return std::nullopt;
  const std::size_t next = 5 + (*verifierLength + 3) / 4;
  if (word(next) != rpc::kAcceptSuccess) return std::nullopt;
  return word(next + 1);
}

}  // namespace

std::vector<std::string> FindVxi11Instruments(const std::vector<std::string>& targets, std::uint16_t portmapperPort,
                                              std::chrono::milliseconds wait) {
  std::vector<std::string> names;
  if (targets.empty()) return names;
  UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket.Valid()) return names;
  const int on = 1;
  ::setsockopt(socket.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  const std::array<ViByte, 56> call = GetPortCall();
  bool sent = false;
  for (const std::string& target : targets) {
    const std::optional<in_addr_t> address = TargetAddress(target);
    if (!address) continue;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(portmapperPort);
    to.sin_addr.s_addr = *address;
    if (::sendto(socket.Get(), call.data(), call.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) > 0)
      sent = true;
  }
  if (!sent) return names;

  std::set<std::string> found;
  const auto end = std::chrono::steady_clock::now() + wait;
  for (;;) {
    pollfd ready{socket.Get(), POLLIN, 0};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0 || ::poll(&ready, 1, static_cast<int>(left)) <= 0) break;
    std::array<ViByte, 512> reply{};
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t received =
        ::recvfrom(socket.Get(), reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received <= 0) continue;
    const std::optional<ViUInt32> port = PortOfReply(reply.data(), static_cast<std::size_t>(received));
    if (!port || *port == 0) continue;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    // Opening a plain name asks the port-mapper at its standard port; one
    // found elsewhere names the core channel's port itself.
    const std::string host = portmapperPort == kStandardPortmapperPort ? text : text + ("," + std::to_string(*port));
    found.insert("TCPIP0::" + host + "::inst0::INSTR");
  }
  names.assign(found.begin(), found.end());
  return names;
}

}  // namespace hvzelta::visa
