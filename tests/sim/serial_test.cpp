// SCPI over the pseudo-terminal, opened the way a serial client opens a port.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>

#include "scpi_client.h"

namespace sim_test {
namespace {

class SerialPort {
 public:
  explicit SerialPort(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    termios mode{};
    tcgetattr(fd_, &mode);
    cfmakeraw(&mode);
    tcsetattr(fd_, TCSANOW, &mode);
  }
  ~SerialPort() {
    if (fd_ >= 0) close(fd_);
  }
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  bool open_() const { return fd_ >= 0; }

  std::optional<std::string> Query(const std::string& line, std::chrono::milliseconds timeout = 2000ms) {
    const std::string message = line + "\r\n";
    if (write(fd_, message.data(), message.size()) != static_cast<ssize_t>(message.size())) return std::nullopt;
    std::string reply;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (reply.empty() || reply.back() != '\n') {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd ready{fd_, POLLIN, 0};
      if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
      char chunk[256];
      const ssize_t received = read(fd_, chunk, sizeof chunk);
      if (received <= 0) return std::nullopt;
      reply.append(chunk, static_cast<std::size_t>(received));
    }
    reply.pop_back();
    return reply;
  }

 private:
  int fd_;
};

TEST(Serial, AnswersOnThePseudoTerminalAcrossReopens) {
  zta_sim::Options options;
  options.socket = false;
  options.serial = true;
  RunningEmulator emulator(options);
  const std::string path = emulator.endpoints().serialPath;
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
  EXPECT_EQ(emulator.endpoints().socketPort, 0);
  {
    SerialPort port(path);
    ASSERT_TRUE(port.open_());
    EXPECT_EQ(port.Query("*IDN?").value_or("").substr(0, 15), "Halvorn,ZTA100,");
    EXPECT_EQ(port.Query("VOLT 42;VOLT?"), "+4.20000000E+01");
  }
  SerialPort again(path);
  EXPECT_EQ(again.Query("VOLT?"), "+4.20000000E+01");

  emulator->ArmFault(zta_sim::FaultKind::Drop);  // a serial line loses the reply
  EXPECT_EQ(again.Query("*OPC?", 200ms), std::nullopt);
  EXPECT_EQ(again.Query("*OPC?"), "1");
}

}  // namespace
}  // namespace sim_test
