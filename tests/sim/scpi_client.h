#pragma once

// A plain blocking SCPI client over a loopback socket for the emulator
// tests: every read has a deadline, so a missing reply fails a test instead
// of hanging it.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "zta_sim/emulator.h"

namespace sim_test {

using namespace std::chrono_literals;

class ScpiClient {
 public:
  explicit ScpiClient(std::uint16_t port);
  ~ScpiClient();
  ScpiClient(const ScpiClient&) = delete;
  ScpiClient& operator=(const ScpiClient&) = delete;

  void Send(std::string_view bytes);  // as is, no terminator added
  // Sends what fits without blocking; returns how much that was.
  std::size_t Flood(std::string_view bytes);
  void Write(std::string_view line) { Send(std::string(line) + "\n"); }
  // The next line without its "\n"; nothing on timeout or close.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = 2000ms);
  // Up to `count` bytes that arrive within the timeout.
  std::string ReadBytes(std::size_t count, std::chrono::milliseconds timeout);
  // Writes the line and reads one reply line; "<no reply>" when none comes.
  std::string Query(std::string_view line, std::chrono::milliseconds timeout = 2000ms);
  // True when the peer closed the connection within the timeout.
  bool ClosedWithin(std::chrono::milliseconds timeout);
  // The next ":SYST:ERR?" answer.
  std::string NextError() { return Query(":SYST:ERR?"); }

 private:
  bool Fill(std::chrono::steady_clock::time_point deadline);

  int fd_ = -1;
  std::string buffer_;
  bool closed_ = false;
};

// An emulator on a free loopback port, started for one test and stopped
// with it.
class RunningEmulator {
 public:
  explicit RunningEmulator(zta_sim::Options options = {});
  zta_sim::Emulator& operator*() { return emulator_; }
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

// A reply in NR3 form converted to a number; NaN when it is not NR3.
double Real(const std::string& reply);

}  // namespace sim_test
