#include "hislip_sync_channel.h"

#include <algorithm>
#include <utility>

namespace zta_sim {

using hislip::MessageType;

namespace {

// However small a maximum message size a client claims, a reply still goes
// out in pieces of at least this many bytes.
constexpr std::uint64_t kMinReplyPiece = 256;

}  // namespace

HislipSyncChannel::HislipSyncChannel(HislipServer& server, HislipServer::SessionPtr session,
                                     HislipConnection& connection, Instrument& instrument, FaultPlan& faults)
    : server_(server),
      session_(std::move(session)),
      connection_(connection),
      instrument_(instrument),
      scpi_(instrument, faults),
      sender_(server, *session_, connection) {}

bool HislipSyncChannel::Handle(const hislip::Message& message) {
  switch (static_cast<MessageType>(message.header.type)) {
    case MessageType::Data:
    case MessageType::DataEnd: {
      const bool end = message.header.type == static_cast<std::uint8_t>(MessageType::DataEnd);
      return Execute(message, [&] { scpi_.Feed(message.payload, end, sender_); });
    }
    case MessageType::Trigger:
      return Execute(message, [&] { instrument_.BusTrigger(); });
    case MessageType::DeviceClearComplete:
      server_.CompleteClear(*session_);
      scpi_.Clear();
      // Whatever mode the client asks for, this server stays synchronized.
      return SendMessage(connection_, MessageType::DeviceClearAcknowledge, 0, 0);
    default:
      return true;  // the router sends no other type here
  }
}

template <typename Action>
bool HislipSyncChannel::Execute(const hislip::Message& message, Action&& action) {
  const bool rmtDelivered = (message.header.control & 1) != 0;
  if (server_.Admit(*session_, rmtDelivered)) {
    sender_.Answering(message.header.parameter);
    action();
  }
  server_.Done(*session_, message.header.parameter);
  return !sender_.ended();
}

void HislipSyncChannel::ReplySender::Deliver(const Reply& reply) {
  if (ended_) return;
  switch (reply.action) {
    case Reply::Action::Stall:
    case Reply::Action::Trickle:  // a message of its own every chunk would be a reply of its own
      break;  // the session answers nothing more until a device clear
    case Reply::Action::Drop:
      ended_ = true;
      break;
    case Reply::Action::Send:
      // A reply is one message: a split one comes whole when its tail would.
      if (server_.Hold(session_, reply.delay + reply.tailDelay)) ended_ = !SendReply(reply.bytes);
      break;
  }
}

bool HislipSyncChannel::ReplySender::SendReply(std::string_view bytes) {
  const std::uint64_t clientMax = server_.ClientMaxMessage(session_);
  const std::size_t piece = static_cast<std::size_t>(
      std::max(kMinReplyPiece, clientMax > hislip::kHeaderSize ? clientMax - hislip::kHeaderSize : 0));
  server_.Replied(session_);
  do {
    const std::string_view part = bytes.substr(0, piece);
    bytes.remove_prefix(part.size());
    const MessageType type = bytes.empty() ? MessageType::DataEnd : MessageType::Data;
    if (!SendMessage(connection_, type, 0, messageId_, part)) return false;
  } while (!bytes.empty());
  return true;
}

}  // namespace zta_sim
