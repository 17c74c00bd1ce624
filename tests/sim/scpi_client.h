#pragma once

// A loopback client for the emulator tests whose every send and read has a deadline, so a
// missing reply fails a test instead of hanging it; and an emulator on free ports for one test.

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "visa/socket_io.h"
#include "zta_sim/emulator.h"

namespace sim_test {

using namespace std::chrono_literals;

class ScpiClient {
 public:
  explicit ScpiClient(std::uint16_t port) {
    using namespace hvzelta::visa;
    if (ConnectTcp("127.0.0.1", port, Deadline::After(5s), fd_) != VI_SUCCESS) {
      throw std::runtime_error("cannot connect to the emulator");
    }
  }

  // As is, no terminator added; a closed connection shows in the next read.
  void Send(std::string_view bytes) {
    hvzelta::visa::SendAll(fd_.Get(), bytes.data(), bytes.size(), hvzelta::visa::Deadline::After(10s));
  }
  // Sends what fits without blocking; returns how much that was.
  std::size_t Flood(std::string_view bytes) {
    const ssize_t sent = send(fd_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    return sent > 0 ? static_cast<std::size_t>(sent) : 0;
  }
  void Write(std::string_view line) { Send(std::string(line) + "\n"); }
  // The next line without its "\n"; nothing on timeout or close.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = 2000ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t newline;
    while ((newline = buffer_.find('\n')) == std::string::npos) {
      if (!Fill(deadline)) return std::nullopt;
    }
    std::string line = buffer_.substr(0, newline);
    buffer_.erase(0, newline + 1);
    return line;
  }
  // Up to `count` bytes that arrive within the timeout.
  std::string ReadBytes(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (buffer_.size() < count && Fill(deadline)) {
    }
    std::string bytes = buffer_.substr(0, count);
    buffer_.erase(0, bytes.size());
    return bytes;
  }
  // Writes the line and reads one reply line; "<no reply>" when none comes.
  std::string Query(std::string_view line, std::chrono::milliseconds timeout = 2000ms) {
    Write(line);
    return ReadLine(timeout).value_or("<no reply>");
  }
  // True when the peer closed the connection within the timeout.
  bool ClosedWithin(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Fill(deadline)) {
    }
    return closed_;
  }
  std::string NextError() { return Query(":SYST:ERR?"); }

 private:
  bool Fill(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{fd_.Get(), POLLIN, 0};
    if (closed_ || left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[65536];
    const ssize_t received = recv(fd_.Get(), chunk, sizeof chunk, 0);
    closed_ = received <= 0;
    if (!closed_) buffer_.append(chunk, static_cast<std::size_t>(received));
    return !closed_;
  }

  hvzelta::visa::UniqueFd fd_;
  std::string buffer_;
  bool closed_ = false;
};

class RunningEmulator {
 public:
  explicit RunningEmulator(zta_sim::Options options = {}) : emulator_(std::move(options)) {
    endpoints_ = emulator_.Start();
  }
  zta_sim::Emulator* operator->() { return &emulator_; }
  const zta_sim::Endpoints& endpoints() const { return endpoints_; }
  std::uint16_t port() const { return endpoints_.socketPort; }

 private:
  zta_sim::Emulator emulator_;
  zta_sim::Endpoints endpoints_;
};

// An emulator with the default options and one client on its socket.
class EmulatorTest : public ::testing::Test {
 protected:
  RunningEmulator emulator;
  ScpiClient client{emulator.port()};
};

// An emulator serving only the transport a test speaks, with that transport's port.
template <bool zta_sim::Options::*kServes, std::uint16_t zta_sim::Endpoints::*kPort>
class TransportTest : public ::testing::Test {
 public:
  static zta_sim::Options Serving() {
    zta_sim::Options options;
    options.socket = false;
    options.*kServes = true;
    return options;
  }

 protected:
  std::uint16_t port() const { return emulator_.endpoints().*kPort; }
  RunningEmulator emulator_{Serving()};
};

// A reply in NR3 form converted to a number; NaN when it is not NR3.
inline double Real(const std::string& reply) {
  static const std::regex nr3(R"([+-][0-9]\.[0-9]{8}E[+-][0-9]{2,3})");
  return std::regex_match(reply, nr3) ? std::strtod(reply.c_str(), nullptr) : std::nan("");
}

}  // namespace sim_test
