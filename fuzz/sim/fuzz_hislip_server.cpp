// Any bytes as HiSLIP messages on the two channels of an initialized
// session and on a connection that has yet to say what it is. The input is
// cut into pieces, each a selector byte (which connection) and a two-byte
// length before its bytes. With one paired session nothing can wait on
// another's lock, and without delays no reply is held back, so every call
// returns at once. What the server sends must always be framed right.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "fault_plan.h"
#include "hislip_channel.h"
#include "hislip_connection.h"
#include "hislip_message.h"
#include "hislip_server.h"
#include "instrument.h"
#include "model_catalog.h"

namespace {

using zta_sim::hislip::MessageType;

class BufferConnection final : public zta_sim::HislipConnection {
 public:
  bool Send(std::string_view header, std::string_view payload) override {
    zta_sim::hislip::Header decoded;
    if (!zta_sim::hislip::DecodeHeader(header, decoded) || header.size() != zta_sim::hislip::kHeaderSize ||
        decoded.length != payload.size()) {
      std::abort();
    }
    last = decoded;
    return !shut;
  }
  void Shutdown() override { shut = true; }
  std::size_t Unread() const override { return 0; }

  zta_sim::hislip::Header last;
  bool shut = false;
};

std::string Message(MessageType type, std::uint32_t parameter, std::string_view payload) {
  return zta_sim::hislip::EncodeHeader(type, 0, parameter, payload.size()) + std::string(payload);
}

zta_sim::FaultOptions EveryFault() {
  zta_sim::FaultOptions options;
  options.lateDelay = std::chrono::milliseconds(0);
  for (const zta_sim::FaultKind kind :
       {zta_sim::FaultKind::Stall, zta_sim::FaultKind::Drop, zta_sim::FaultKind::Garbage, zta_sim::FaultKind::Truncate,
        zta_sim::FaultKind::Oversize, zta_sim::FaultKind::ShortBlock, zta_sim::FaultKind::Late}) {
    options.faults.push_back({kind, 0, 0.01});
  }
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zta_sim::ModelInfo& model = zta_sim::Describe(zta_sim::Model::ZTA100);
  zta_sim::Instrument instrument(model, zta_sim::DefaultIdentity(model), {}, 0.0, 1);
  zta_sim::FaultPlan plan(EveryFault(), 1);
  BufferConnection connections[3];
  zta_sim::HislipServer server(instrument);
  std::unique_ptr<zta_sim::HislipChannel> channels[3];
  for (int i = 0; i < 3; ++i) {
    channels[i] = std::make_unique<zta_sim::HislipChannel>(server, connections[i], instrument, plan);
  }
  channels[0]->Feed(Message(MessageType::Initialize, 0x01000000, "hislip0"));
  channels[1]->Feed(Message(MessageType::AsyncInitialize, connections[0].last.parameter & 0xFFFF, {}));

  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (rest.size() >= 3) {
    const int which = static_cast<unsigned char>(rest[0]) % 3;
    const std::size_t length =
        (static_cast<std::size_t>(static_cast<unsigned char>(rest[1])) << 8) | static_cast<unsigned char>(rest[2]);
    rest.remove_prefix(3);
    const std::string_view piece = rest.substr(0, length);
    rest.remove_prefix(piece.size());
    std::unique_ptr<zta_sim::HislipChannel>& channel = channels[which];
    if (channel && !connections[which].shut && channel->Feed(piece)) continue;
    // The connection ended, from either side, as a socket does.
    channel.reset();
    if (which == 2) {  // one that has yet to initialize comes again
      connections[2].shut = false;
      channel = std::make_unique<zta_sim::HislipChannel>(server, connections[2], instrument, plan);
    }
  }
  return 0;
}
