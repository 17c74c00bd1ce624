#pragma once

// The references of the I/O benchmarks: the least a test program could do
// with a loopback TCP socket itself (blocking calls, no buffering of its
// own), and the listening side of the small servers that feed them.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace hvzelta::bench {

inline void DisableNagle(int fd) {
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

inline bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

inline bool ReceiveExactly(int fd, char* buffer, std::size_t size) {
  while (size > 0) {
    const ssize_t got = recv(fd, buffer, size, 0);
    if (got <= 0) return false;
    buffer += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

// Receives into `line` (kept between calls, so that its capacity is reused)
// up to and including a line feed.
inline bool ReceiveLine(int fd, std::string& line) {
  line.clear();
  char chunk[64 * 1024];
  for (;;) {
    const ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) return false;
    line.append(chunk, static_cast<std::size_t>(got));
    if (line.back() == '\n') return true;
  }
}

// A listening socket on a free loopback port; aborts when there is none,
// since no benchmark of the program could run then.
inline int ListenOnLoopback(std::uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::abort();
  }
  port = ntohs(address.sin_port);
  return fd;
}

// One connection to a loopback port, with Nagle off as the driver has it.
class RawSocketClient {
 public:
  explicit RawSocketClient(std::uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) std::abort();
    DisableNagle(fd_);
  }
  ~RawSocketClient() { close(fd_); }
  RawSocketClient(const RawSocketClient&) = delete;
  RawSocketClient& operator=(const RawSocketClient&) = delete;

  bool Send(std::string_view bytes) { return SendAll(fd_, bytes); }
  bool ReceiveExactly(char* buffer, std::size_t size) { return bench::ReceiveExactly(fd_, buffer, size); }
  bool ReceiveLine(std::string& line) { return bench::ReceiveLine(fd_, line); }
  // Sends a query and receives its one-line reply.
  bool Query(std::string_view query, std::string& reply) { return Send(query) && ReceiveLine(reply); }
  // The same, with the reply read as a number. The instrument writes its
  // numbers with a sign, which from_chars refuses.
  bool QueryReal(std::string_view query, std::string& reply, double& value) {
    return Query(query, reply) &&
           std::from_chars(reply.data() + (reply[0] == '+'), reply.data() + reply.size(), value).ec == std::errc();
  }

 private:
  int fd_;
};

}  // namespace hvzelta::bench
