#include "vxi11_peer.h"

#include <sys/socket.h>

#include <utility>

#include "onc_rpc.h"

namespace hvzelta::visa::testing {

namespace {

zta_sim::RpcOutcome CloseConnection() {
  zta_sim::RpcOutcome outcome;
  outcome.closeConnection = true;
  return outcome;
}

// The port-mapper: every call is answered with the core channel's port.
class PortOf final : public zta_sim::RpcDispatcher {
 public:
  explicit PortOf(std::uint16_t port) : port_(port) {}
  zta_sim::RpcOutcome Dispatch(const zta_sim::RpcCall&, zta_sim::XdrReader&, zta_sim::XdrWriter& out) override {
    out.U32(port_);
    return {};
  }

 private:
  std::uint16_t port_;
};

}  // namespace

// The calls of one connection to the core channel. The emulator's RPC layer
// carries them, which shares no code with the client under test.
class Vxi11Peer::Core final : public zta_sim::RpcDispatcher {
 public:
  Core(Vxi11Peer& peer, int fd) : peer_(peer), fd_(fd) {}

  zta_sim::RpcOutcome Dispatch(const zta_sim::RpcCall& call, zta_sim::XdrReader& in,
                               zta_sim::XdrWriter& out) override {
    std::lock_guard lock(peer_.mutex_);
    Seen& seen = peer_.seen_;
    const auto skip = [&in](int words) {
      while (words-- > 0) in.U32();
    };
    switch (call.procedure) {
      case 10:  // create_link
        skip(3);
        seen.device = in.Opaque(256);
        for (const std::uint32_t word : {peer_.linkError_, 7u, 0u, peer_.maxReceiveSize_}) out.U32(word);
        break;
      case 11: {  // device_write
        skip(3);
        const std::uint32_t flags = in.U32();
        const std::string_view data = in.Opaque(1 << 22);
        seen.writeFlags.push_back(flags);
        pending_ += data;
        out.U32(0);
        out.U32(static_cast<std::uint32_t>(data.size()));
        if (flags & 8) {
          seen.messages.push_back(pending_);
          answer_ = peer_.responder_(pending_);
          pending_.clear();
        }
        break;
      }
      case 12: {  // device_read
        skip(1);
        const std::uint32_t request = in.U32();
        seen.readTimeouts.push_back(in.U32());
        skip(1);
        const std::uint32_t flags = in.U32();
        const char termChar = static_cast<char>(in.U32());
        if (answer_ == kGarbage) {
          SendBytes(fd_, std::string("\x80\x00\x00\x08garbage!", 12));
          return CloseConnection();
        }
        std::size_t size = std::min<std::size_t>(request, answer_.size());
        std::uint32_t reason = 0;
        if (const auto term = answer_.find(termChar); flags & 128 && term < size) {
          size = term + 1;
          reason |= 2;
        }
        if (size == answer_.size()) reason |= 4;
        if (size == request) reason |= 1;
        out.U32(0);
        out.U32(reason);
        out.Opaque(answer_.substr(0, size));
        answer_.erase(0, size);
        break;
      }
      case 18:  // device_lock, device_unlock and destroy_link
      case 19:
      case 23:
        ++(call.procedure == 18 ? seen.locks : call.procedure == 19 ? seen.unlocks : seen.destroyedLinks);
        out.U32(0);
        break;
      default:
        out.U32(8);
    }
    return {};
  }

 private:
  Vxi11Peer& peer_;
  int fd_;
  std::string pending_;
  std::string answer_;
};

Vxi11Peer::Vxi11Peer(Responder responder, std::uint32_t maxReceiveSize, std::uint32_t linkError)
    : responder_(std::move(responder)),
      maxReceiveSize_(maxReceiveSize),
      linkError_(linkError),
      core_([this](LoopbackPeer& peer) { ServeCore(peer); }),
      portmapper_([this](LoopbackPeer& peer) {
        PortOf port(core_.Port());
        for (int fd; (fd = peer.Accept()) >= 0;) zta_sim::ServeRpcConnection(fd, port, 1 << 16);
      }) {}

Vxi11Peer::Seen Vxi11Peer::Snapshot() {
  std::lock_guard lock(mutex_);
  return seen_;
}

void Vxi11Peer::ServeCore(LoopbackPeer& peer) {
  for (int fd; (fd = peer.Accept()) >= 0;) {
    Core core(*this, fd);
    zta_sim::ServeRpcConnection(fd, core, 1 << 22);
    ::shutdown(fd, SHUT_RDWR);
  }
}

}  // namespace hvzelta::visa::testing
