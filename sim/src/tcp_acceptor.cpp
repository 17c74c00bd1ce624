#include "tcp_acceptor.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string_view>
#include <system_error>
#include <utility>

namespace zta_sim {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

TcpAcceptor::TcpAcceptor(Handler handler, std::size_t maxConnections, std::chrono::milliseconds idleTimeout)
    : handler_(std::move(handler)), maxConnections_(maxConnections), idleTimeout_(idleTimeout) {}

TcpAcceptor::~TcpAcceptor() { Stop(); }

std::uint16_t TcpAcceptor::Listen(const std::string& address, std::uint16_t port) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &socketAddress.sin_addr) != 1) {
    throw std::system_error(EINVAL, std::generic_category(), "not an IPv4 address: " + address);
  }
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) ThrowErrno("socket");
  const int on = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const std::string where = address + ":" + std::to_string(port);
  if (bind(listenFd_, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) != 0) {
    ThrowErrno("bind " + where);
  }
  if (listen(listenFd_, 64) != 0) ThrowErrno("listen " + where);
  socklen_t length = sizeof socketAddress;
  if (getsockname(listenFd_, reinterpret_cast<sockaddr*>(&socketAddress), &length) != 0) ThrowErrno("getsockname");
  return ntohs(socketAddress.sin_port);
}

void TcpAcceptor::Start() { acceptThread_ = std::thread([this] { AcceptLoop(); }); }

void TcpAcceptor::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  if (listenFd_ >= 0) shutdown(listenFd_, SHUT_RDWR);  // wakes accept()
  if (acceptThread_.joinable()) acceptThread_.join();
  if (listenFd_ >= 0) close(listenFd_);
  listenFd_ = -1;

  std::list<Connection> all;
  {
    const std::lock_guard lock(mutex_);
    for (Connection& connection : connections_) shutdown(connection.fd, SHUT_RDWR);
    all.splice(all.end(), connections_);
  }
  for (Connection& connection : all) {
    connection.thread.join();
    close(connection.fd);
  }
}

void TcpAcceptor::AcceptLoop() {
  while (true) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // Out of descriptors: let connections end before accepting more.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        JoinFinished();
        const std::lock_guard lock(mutex_);
        if (stopping_) return;
        continue;
      }
      return;  // the socket was shut down
    }
    JoinFinished();
    const std::lock_guard lock(mutex_);
    if (stopping_ || connections_.size() >= maxConnections_) {
      close(fd);
      if (stopping_) return;
      continue;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (idleTimeout_.count() > 0) {
      const timeval idle{static_cast<time_t>(idleTimeout_.count() / 1000),
                         static_cast<suseconds_t>(idleTimeout_.count() % 1000 * 1000)};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
    }
    try {
      auto connection = connections_.insert(connections_.end(), Connection{{}, fd, false});
      try {
        connection->thread = std::thread([this, connection] { Serve(connection); });
      } catch (...) {
        connections_.erase(connection);
        throw;
      }
    } catch (...) {
      close(fd);  // no thread or memory to spare: this client is turned away
    }
  }
}

void TcpAcceptor::Serve(std::list<Connection>::iterator connection) {
  try {
    handler_(connection->fd);
  } catch (...) {
    // A connection that fails (out of memory, say) ends; the others go on.
  }
  // The peer sees the end now; the descriptor is closed when the thread is
  // joined, so that Stop() never shuts down a reused descriptor.
  shutdown(connection->fd, SHUT_RDWR);
  const std::lock_guard lock(mutex_);
  connection->done = true;
}

void TcpAcceptor::JoinFinished() {
  std::list<Connection> finished;
  {
    const std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      const auto next = std::next(it);
      if (it->done) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  for (Connection& connection : finished) {
    connection.thread.join();
    close(connection.fd);
  }
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace zta_sim
