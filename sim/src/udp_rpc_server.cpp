#include "udp_rpc_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <optional>

namespace zta_sim {

namespace {

// How often the serving thread looks whether it should stop.
constexpr int kStopCheckMs = 100;

}  // namespace

bool UdpRpcServer::Bind(const std::string& address, std::uint16_t port) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &socketAddress.sin_addr) != 1) return false;
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) != 0) {
    close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

void UdpRpcServer::Start() {
  if (fd_ >= 0) thread_ = std::thread([this] { Serve(); });
}

void UdpRpcServer::Stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void UdpRpcServer::Serve() {
  std::array<char, 1024> datagram{};
  while (!stopping_) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, kStopCheckMs) <= 0) continue;
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t received =
        recvfrom(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received <= 0) continue;
    const std::optional<std::string> reply =
        AnswerRecord(std::string_view(datagram.data(), static_cast<std::size_t>(received)), dispatcher_);
    if (reply) sendto(fd_, reply->data(), reply->size(), 0, reinterpret_cast<const sockaddr*>(&from), fromLength);
  }
}

}  // namespace zta_sim
