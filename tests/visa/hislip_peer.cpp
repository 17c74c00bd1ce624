#include "hislip_peer.h"

#include <poll.h>

#include "hislip_message.h"

namespace hvzelta::visa::testing {
namespace {

namespace wire = zta_sim::hislip;

struct Message {
  std::uint8_t type = 0;
  std::uint8_t control = 0;
  std::uint32_t parameter = 0;
  std::string payload;
};

bool ReceiveMessage(int fd, Message& message) {
  char header[wire::kHeaderSize];
  wire::Header decoded;
  if (!ReceiveExactly(fd, header, sizeof header) || !wire::DecodeHeader({header, sizeof header}, decoded) ||
      decoded.length > (1u << 24)) {
    return false;
  }
  message = {decoded.type, decoded.control, decoded.parameter, std::string(decoded.length, '\0')};
  return decoded.length == 0 || ReceiveExactly(fd, message.payload.data(), decoded.length);
}

}  // namespace

// The emulator's encoding, which shares no code with the client under test.
std::string HislipPeer::Frame(std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                              std::string_view payload) {
  return wire::EncodeHeader(static_cast<wire::MessageType>(type), control, parameter, payload.size()) +
         std::string(payload);
}

HislipPeer::HislipPeer(Responder responder, std::uint64_t maxMessage, bool refuse)
    : responder_(std::move(responder)),
      maxMessage_(maxMessage),
      refuse_(refuse),
      peer_([this](LoopbackPeer& peer) { Serve(peer); }) {}

HislipPeer::Seen HislipPeer::Snapshot() {
  std::lock_guard lock(mutex_);
  return seen_;
}

void HislipPeer::Serve(LoopbackPeer& peer) {
  int sync = peer.Accept();
  Message message;
  if (sync < 0 || !ReceiveMessage(sync, message) || message.type != 0) return;
  if (refuse_) {
    SendBytes(sync, Frame(2, 4, 0, "no such sub-address"));
    return;
  }
  SendBytes(sync, Frame(1, 0, (0x0100u << 16) | 7));
  int async = peer.Accept();
  if (async < 0 || !ReceiveMessage(async, message) || message.type != 17 || message.parameter != 7) return;
  SendBytes(async, Frame(18, 0, 0x5A5A));
  if (!ReceiveMessage(async, message) || message.type != 15 || message.payload.size() != 8) return;
  SendBytes(async, Frame(16, 0, 0, wire::BigEndian64(maxMessage_)));

  std::string pending;
  for (;;) {
    pollfd fds[2] = {{sync, POLLIN, 0}, {async, POLLIN, 0}};
    if (::poll(fds, 2, kPeerWaitMs) <= 0) return;
    if (fds[1].revents) {
      if (!ReceiveMessage(async, message)) return;
      std::lock_guard lock(mutex_);
      if (message.type == 19) {
        ++seen_.clears;
        pending.clear();
        SendBytes(async, Frame(23, 0, 0));
      } else if (message.type == 4) {
        if (message.control == 1)
          seen_.lockRequests.push_back(message.payload);
        else
          ++seen_.lockReleases;
        SendBytes(async, Frame(5, 1, 0));
      }
      continue;
    }
    if (!ReceiveMessage(sync, message)) return;
    {
      std::lock_guard lock(mutex_);
      if (message.type == 6 || message.type == 7) {
        ++seen_.dataChunks;
        pending += message.payload;
        if (message.type == 7) {
          seen_.messages.push_back(pending);
          seen_.messageIds.push_back(message.parameter);
          seen_.rmtDelivered.push_back(message.control & 1);
        }
      } else if (message.type == 12) {
        ++seen_.triggers;
      } else if (message.type == 8) {
        SendBytes(sync, Frame(9, 0, 0));
      }
    }
    if (message.type == 7) {
      const std::string reply = responder_(pending, message.parameter);
      pending.clear();
      if (!reply.empty() && !SendBytes(sync, reply)) return;
    }
  }
}

}  // namespace hvzelta::visa::testing
