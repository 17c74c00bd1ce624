// What a query to the emulator costs a client: "VOLT?" and its reply over a
// loopback socket, against the same exchange with a minimal echo server
// measured in the same run. The emulator should stay within 1.2 times the
// echo, so that it never dominates the driver's own benchmarks.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/ratio_runner.h"
#include "zta_sim/emulator.h"

namespace {

constexpr std::string_view kQuery = "VOLT?\n";

int Connect(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) std::abort();
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

// One query, then reads until the reply's newline.
bool RoundTrip(int fd) {
  if (send(fd, kQuery.data(), kQuery.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(kQuery.size())) return false;
  char reply[256];
  while (true) {
    const ssize_t received = recv(fd, reply, sizeof reply, 0);
    if (received <= 0) return false;
    if (reply[received - 1] == '\n') return true;
  }
}

// The reference: a thread per connection that sends back what it receives.
class EchoServer {
 public:
  EchoServer() {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listen_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(listen_, 4) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::abort();
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~EchoServer() {
    shutdown(listen_, SHUT_RDWR);
    thread_.join();
    close(listen_);
  }
  EchoServer(const EchoServer&) = delete;
  EchoServer& operator=(const EchoServer&) = delete;

  std::uint16_t port() const { return port_; }

 private:
  void Serve() {
    int fd;
    while ((fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0) {
      const int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      char buffer[16 * 1024];
      ssize_t received;
      while ((received = recv(fd, buffer, sizeof buffer, 0)) > 0) {
        if (send(fd, buffer, static_cast<std::size_t>(received), MSG_NOSIGNAL) != received) break;
      }
      close(fd);
    }
  }

  int listen_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

void Run(benchmark::State& state, std::uint16_t port) {
  const int fd = Connect(port);
  for (auto _ : state) {
    if (!RoundTrip(fd)) {
      state.SkipWithError("the connection failed");
      break;
    }
  }
  close(fd);
}

void BM_EchoRoundTrip(benchmark::State& state) {
  static EchoServer server;
  Run(state, server.port());
}
BENCHMARK(BM_EchoRoundTrip)->UseRealTime();

void BM_EmulatorQueryRoundTrip(benchmark::State& state) {
  static zta_sim::Emulator emulator{zta_sim::Options{}};
  static const std::uint16_t port = emulator.Start().socketPort;
  Run(state, port);
}
BENCHMARK(BM_EmulatorQueryRoundTrip)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // Round trips feel every other process on the machine; interleaving the
  // repetitions of the two benchmarks spreads that over both alike.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  return hvzelta::bench::RunWithRatios(
      static_cast<int>(args.size()), args.data(),
      {{"emulator query round trip / echo server round trip", "BM_EmulatorQueryRoundTrip", "BM_EchoRoundTrip",
        "<= 1.2"}});
}
