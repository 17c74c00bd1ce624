// What a query to the emulator costs a client: "VOLT?" and its reply over a
// loopback socket, against the same exchange with a minimal echo server
// measured in the same run. The emulator should stay within 1.2 times the
// echo, so that it never dominates the driver's own benchmarks.

#include <cstdint>
#include <string>
#include <thread>

#include "support/one_core.h"
#include "support/ratio_runner.h"
#include "support/raw_socket.h"
#include "zta_sim/emulator.h"

namespace {

using hvzelta::bench::RawSocketClient;

// The reference: a thread per connection that sends back what it receives.
class EchoServer {
 public:
  EchoServer() : listen_(hvzelta::bench::ListenOnLoopback(port_)), thread_([this] { Serve(); }) {}
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
      hvzelta::bench::DisableNagle(fd);
      char buffer[16 * 1024];
      ssize_t received;
      while ((received = recv(fd, buffer, sizeof buffer, 0)) > 0) {
        if (send(fd, buffer, static_cast<std::size_t>(received), MSG_NOSIGNAL) != received) break;
      }
      close(fd);
    }
  }

  std::uint16_t port_ = 0;
  int listen_;
  std::thread thread_;
};

void Run(benchmark::State& state, std::uint16_t port) {
  RawSocketClient client(port);
  std::string reply;
  for (auto _ : state) {
    if (!client.Query("VOLT?\n", reply)) {
      state.SkipWithError("the connection failed");
      break;
    }
  }
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
  hvzelta::bench::StayOnOneCore();  // before any peer starts its threads
  using hvzelta::bench::Goal;
  // Not a figure of the driver: it tells whether the emulator's own share
  // could distort those that query it.
  return hvzelta::bench::RunWithRatios(
      argc, argv,
      {{"emulator \"VOLT?\" round trip / echo server round trip", "BM_EmulatorQueryRoundTrip", "BM_EchoRoundTrip",
        Goal::AtMost(1.2), false, hvzelta::bench::Row::kDetail}},
      {});
}
