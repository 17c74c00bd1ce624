#pragma once

// A small VXI-11 device for the client's tests: a port-mapper that answers
// GETPORT with the core port, and a core channel that links, collects
// device_write data into messages, answers each complete message with the
// responder's text through device_read (with the END, termination character
// and count reasons), and records what it saw.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "loopback_peer.h"

namespace hvzelta::visa::testing {

class Vxi11Peer {
 public:
  // A special answer: a record that is not an RPC reply.
  static constexpr const char* kGarbage = "<garbage>";
  using Responder = std::function<std::string(const std::string& message)>;

  struct Seen {
    std::vector<std::string> messages;
    std::vector<std::uint32_t> writeFlags;  // per device_write
    std::vector<std::uint32_t> readTimeouts;
    int locks = 0;
    int unlocks = 0;
    int destroyedLinks = 0;
    std::string device;  // named in create_link
  };

  explicit Vxi11Peer(Responder responder, std::uint32_t maxReceiveSize = 1024, std::uint32_t linkError = 0);

  std::uint16_t CorePort() const { return core_.Port(); }
  std::uint16_t PortmapperPort() const { return portmapper_.Port(); }
  Seen Snapshot();

 private:
  class Core;
  void ServeCore(LoopbackPeer& peer);

  Responder responder_;
  std::uint32_t maxReceiveSize_;
  std::uint32_t linkError_;
  std::mutex mutex_;
  Seen seen_;
  LoopbackPeer core_;
  LoopbackPeer portmapper_;
};

}  // namespace hvzelta::visa::testing
