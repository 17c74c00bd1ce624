#include "scpi_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <regex>
#include <stdexcept>

namespace sim_test {

ScpiClient::ScpiClient(std::uint16_t port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ < 0 || connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("cannot connect to the emulator");
  }
  const int on = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

ScpiClient::~ScpiClient() {
  if (fd_ >= 0) close(fd_);
}

void ScpiClient::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;  // a closed connection shows in the next read
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

std::size_t ScpiClient::Flood(std::string_view bytes) {
  const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  return sent > 0 ? static_cast<std::size_t>(sent) : 0;
}

bool ScpiClient::Fill(std::chrono::steady_clock::time_point deadline) {
  if (closed_) return false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return false;
  pollfd ready{fd_, POLLIN, 0};
  if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
  char chunk[65536];
  const ssize_t received = recv(fd_, chunk, sizeof chunk, 0);
  if (received <= 0) {
    closed_ = true;
    return false;
  }
  buffer_.append(chunk, static_cast<std::size_t>(received));
  return true;
}

std::optional<std::string> ScpiClient::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::size_t newline;
  while ((newline = buffer_.find('\n')) == std::string::npos) {
    if (!Fill(deadline)) return std::nullopt;
  }
  std::string line = buffer_.substr(0, newline);
  buffer_.erase(0, newline + 1);
  return line;
}

std::string ScpiClient::ReadBytes(std::size_t count, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (buffer_.size() < count && Fill(deadline)) {
  }
  std::string bytes = buffer_.substr(0, count);
  buffer_.erase(0, bytes.size());
  return bytes;
}

std::string ScpiClient::Query(std::string_view line, std::chrono::milliseconds timeout) {
  Write(line);
  return ReadLine(timeout).value_or("<no reply>");
}

bool ScpiClient::ClosedWithin(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Fill(deadline)) {
  }
  return closed_;
}

RunningEmulator::RunningEmulator(zta_sim::Options options) : emulator_(std::move(options)) {
  endpoints_ = emulator_.Start();
}

double Real(const std::string& reply) {
  static const std::regex nr3(R"([+-][0-9]\.[0-9]{8}E[+-][0-9]{2,3})");
  if (!std::regex_match(reply, nr3)) return std::numeric_limits<double>::quiet_NaN();
  return std::strtod(reply.c_str(), nullptr);
}

}  // namespace sim_test
