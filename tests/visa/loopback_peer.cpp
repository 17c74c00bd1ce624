#include "loopback_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace hvzelta::visa::testing {
namespace {

bool WaitFor(int fd, short events) {
  pollfd waiter{fd, events, 0};
  int ready;
  do {
    ready = ::poll(&waiter, 1, kPeerWaitMs);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

int Listen(std::uint16_t& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

LoopbackPeer::LoopbackPeer(std::function<void(LoopbackPeer&)> script) {
  listener_ = Listen(port_);
  thread_ = std::thread([this, script = std::move(script)] { script(*this); });
}

LoopbackPeer::~LoopbackPeer() {
  {
    std::lock_guard lock(mutex_);
    for (int fd : connections_) ::shutdown(fd, SHUT_RDWR);
    if (listener_ >= 0) ::shutdown(listener_, SHUT_RDWR);
  }
  Join();
  for (int fd : connections_) ::close(fd);
  if (listener_ >= 0) ::close(listener_);
}

void LoopbackPeer::Join() {
  if (thread_.joinable()) thread_.join();
}

int LoopbackPeer::Accept() {
  if (listener_ < 0 || !WaitFor(listener_, POLLIN)) return -1;
  int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd >= 0) {
    std::lock_guard lock(mutex_);
    connections_.push_back(fd);
  }
  return fd;
}

bool ReceiveExactly(int fd, void* buffer, std::size_t size) {
  auto* at = static_cast<char*>(buffer);
  while (size > 0) {
    if (!WaitFor(fd, POLLIN)) return false;
    ssize_t got = ::recv(fd, at, size, 0);
    if (got <= 0) return false;
    at += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

std::string ReceiveLine(int fd) {
  std::string line;
  char c = 0;
  while (line.size() < 65536 && ReceiveExactly(fd, &c, 1)) {
    line.push_back(c);
    if (c == '\n') return line;
  }
  return {};
}

bool SendBytes(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    if (!WaitFor(fd, POLLOUT)) return false;
    ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

std::uint16_t ClosedPort() {
  std::uint16_t port = 0;
  int fd = Listen(port);
  if (fd >= 0) ::close(fd);
  return port;
}

}  // namespace hvzelta::visa::testing
