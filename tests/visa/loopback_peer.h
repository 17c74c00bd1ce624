#pragma once

// A scripted peer for transport tests: a TCP listener on 127.0.0.1 with a
// port the kernel picks, and a script that runs on the peer's own thread,
// accepts the connections it expects and talks over them. Every wait of the
// helpers is bounded, and the destructor shuts the connections down so a
// script stuck in a receive ends too.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace hvzelta::visa::testing {

constexpr int kPeerWaitMs = 5000;

class LoopbackPeer {
 public:
  explicit LoopbackPeer(std::function<void(LoopbackPeer&)> script);
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  std::uint16_t Port() const { return port_; }

  // For the script: the next connection, or -1 after kPeerWaitMs.
  int Accept();
  // Waits for the script to finish (bounded by the helpers' waits).
  void Join();

 private:
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::mutex mutex_;
  std::vector<int> connections_;
  std::thread thread_;
};

// Bounded I/O for scripts; false when the peer closed or kPeerWaitMs passed.
bool ReceiveExactly(int fd, void* buffer, std::size_t size);
std::string ReceiveLine(int fd);  // up to and including '\n'; "" on failure
bool SendBytes(int fd, std::string_view bytes);

// A port on 127.0.0.1 that nothing listens on.
std::uint16_t ClosedPort();

}  // namespace hvzelta::visa::testing
