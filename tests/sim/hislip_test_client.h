#pragma once

// A small HiSLIP client for the emulator tests, on the driver's message
// encoding, which shares no code with the emulator's. It speaks synchronized
// mode over two ScpiClient sockets; every wait has a deadline.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "scpi_client.h"
#include "visa/hislip_protocol.h"

namespace sim_test {

// Message types, by number: the driver's, and those only a server needs.
namespace hs {
using namespace hvzelta::visa::hislip;
enum : std::uint8_t {
  kAsyncRemoteLocalControl = 10,
  kAsyncRemoteLocalResponse,
  kAsyncLockInfo = 24,
  kAsyncLockInfoResponse
};
}  // namespace hs

struct HislipMessage {
  std::uint8_t type = 0xFF;  // 0xFF: nothing came
  std::uint8_t control = 0;
  std::uint32_t parameter = 0;
  std::string payload;
};

// One channel: a socket that sends and receives whole messages.
class HislipChannelClient {
 public:
  explicit HislipChannelClient(std::uint16_t port) : socket_(port) {}

  void Send(std::uint8_t type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {});
  void SendRaw(std::string_view bytes) { socket_.Send(bytes); }
  // The next message; type 0xFF when none came in time.
  HislipMessage Receive(std::chrono::milliseconds timeout = 2000ms);
  // Sends a request and returns the next message.
  HislipMessage Ask(std::uint8_t type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {},
                    std::chrono::milliseconds timeout = 2000ms) {
    Send(type, control, parameter, payload);
    return Receive(timeout);
  }
  bool ClosedWithin(std::chrono::milliseconds timeout) { return socket_.ClosedWithin(timeout); }

 private:
  ScpiClient socket_;
};

// A whole session: both channels initialized, message IDs and the
// RMT-delivered bit kept as a client must.
class HislipSession {
 public:
  // `maxMessage` 0 skips the size negotiation.
  explicit HislipSession(std::uint16_t port, std::uint64_t maxMessage = 1 << 20);

  // A program message in one DataEnd (or Data when `end` is false).
  void Write(std::string_view text, bool end = true);
  // The reply to the last message written: its payloads up to the DataEnd
  // carrying that message's ID; "<no reply>" when none came in time.
  std::string Read(std::chrono::milliseconds timeout = 2000ms);
  std::string Query(std::string_view text, std::chrono::milliseconds timeout = 2000ms) {
    Write(text);
    return Read(timeout);
  }
  std::uint8_t StatusByte();
  // Both halves of a device clear; false when either went wrong.
  bool Clear();
  // The lock response code; an empty key asks for the exclusive lock.
  int Lock(std::string_view key = {}, std::uint32_t timeoutMs = 0);
  int Unlock();

  HislipChannelClient sync;
  HislipChannelClient async;
  std::uint16_t sessionId = 0;
  std::uint16_t serverVersion = 0;
  std::uint32_t vendorId = 0;
  std::uint64_t serverMaxMessage = 0;
  std::uint32_t lastId = 0;  // of the last message sent
  int dataMessages = 0;      // Data and DataEnd messages the last Read took

 private:
  std::uint32_t nextId_ = 0xFFFFFF00u;
  bool rmtDelivered_ = false;
};

std::string BigEndian(std::uint64_t value, int bytes);

}  // namespace sim_test
