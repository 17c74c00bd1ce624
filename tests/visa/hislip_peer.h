#pragma once

// A small HiSLIP server for the client's tests: initializes both channels,
// collects Data/DataEnd into messages and answers each complete message with
// whatever bytes the test's responder returns (built with Frame), answers
// device clears and lock requests, and records what it saw.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "loopback_peer.h"

namespace hvzelta::visa::testing {

class HislipPeer {
 public:
  // Returns the bytes to send on the synchronous channel after the message
  // `text` that ended with DataEnd number `messageId`.
  using Responder = std::function<std::string(const std::string& text, std::uint32_t messageId)>;

  struct Seen {
    std::vector<std::string> messages;
    std::vector<std::uint32_t> messageIds;  // of each DataEnd
    int dataChunks = 0;                     // Data and DataEnd messages
    int triggers = 0;
    int clears = 0;
    std::vector<std::string> lockRequests;  // shared keys; "" for exclusive
    int lockReleases = 0;
    std::vector<bool> rmtDelivered;  // per DataEnd
  };

  // `refuse`: the server turns the session away.
  explicit HislipPeer(Responder responder, std::uint64_t maxMessage = 1 << 20, bool refuse = false);

  std::uint16_t Port() const { return peer_.Port(); }
  Seen Snapshot();

  static std::string Frame(std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                           std::string_view payload = {});
  static std::string DataEnd(std::uint32_t messageId, std::string_view text) {
    return Frame(7, 0, messageId, text);
  }

 private:
  void Serve(LoopbackPeer& peer);

  Responder responder_;
  std::uint64_t maxMessage_;
  bool refuse_;
  std::mutex mutex_;
  Seen seen_;
  LoopbackPeer peer_;  // last: its thread uses the members above
};

}  // namespace hvzelta::visa::testing
