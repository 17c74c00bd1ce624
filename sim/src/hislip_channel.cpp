#include "hislip_channel.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zta_sim {

using hislip::ErrorCode;
using hislip::FatalCode;
using hislip::MessageType;

namespace {

// The server's vendor ID in AsyncInitializeResponse: two ASCII letters.
constexpr std::uint32_t kVendorId = ('H' << 8) | 'V';
constexpr std::size_t kMaxSubAddress = 64;
// A shared lock's name is as long as a VISA access key at most.
constexpr std::size_t kMaxLockName = 255;

enum class Side { Sync, Async };

struct Route {
  MessageType type;
  Side side;
  std::size_t maxPayload;
};

// What each channel takes after initialization. Data may be as long as the
// whole message the server announces, for clients that take that size for
// the payload's.
constexpr std::array<Route, 10> kRoutes{{
    {MessageType::Data, Side::Sync, HislipServer::kMaxMessage},
    {MessageType::DataEnd, Side::Sync, HislipServer::kMaxMessage},
    {MessageType::Trigger, Side::Sync, 0},
    {MessageType::DeviceClearComplete, Side::Sync, 0},
    {MessageType::AsyncLock, Side::Async, kMaxLockName},
    {MessageType::AsyncLockInfo, Side::Async, 0},
    {MessageType::AsyncRemoteLocalControl, Side::Async, 0},
    {MessageType::AsyncMaximumMessageSize, Side::Async, 8},
    {MessageType::AsyncDeviceClear, Side::Async, 0},
    {MessageType::AsyncStatusQuery, Side::Async, 0},
}};

bool Is(std::uint8_t type, MessageType expected) { return type == static_cast<std::uint8_t>(expected); }

const Route* FindRoute(std::uint8_t type, Side side) {
  const auto it = std::find_if(kRoutes.begin(), kRoutes.end(),
                               [&](const Route& route) { return Is(type, route.type) && route.side == side; });
  return it == kRoutes.end() ? nullptr : &*it;
}

bool IsDeviceName(std::string_view name) {
  constexpr std::string_view kName = "hislip0";
  return name.empty() || std::equal(name.begin(), name.end(), kName.begin(), kName.end(),
                                    [](char a, char b) { return (a | 0x20) == b; });
}

}  // namespace

HislipChannel::HislipChannel(HislipServer& server, HislipConnection& connection, Instrument& instrument,
                             FaultPlan& faults)
    : server_(server), connection_(connection), instrument_(instrument), faults_(faults) {}

HislipChannel::~HislipChannel() {
  if (session_) server_.Close(*session_, connection_);
}

void HislipChannel::SetBusy(bool busy) {
  if (sync_) server_.SetBusy(*session_, busy);
}

std::size_t HislipChannel::PayloadLimit(std::uint8_t type) const {
  if (!session_) return Is(type, MessageType::Initialize) ? kMaxSubAddress : 0;
  const Route* route = FindRoute(type, sync_ ? Side::Sync : Side::Async);
  return route == nullptr ? 0 : route->maxPayload;
}

bool HislipChannel::OnMessage(const hislip::Message& message) {
  const std::uint8_t type = message.header.type;
  // A peer's Error needs no answer; its FatalError ends the session.
  if (Is(type, MessageType::Error)) return true;
  if (Is(type, MessageType::FatalError)) return false;
  if (!session_) {
    if (Is(type, MessageType::Initialize)) return Initialize(message);
    if (Is(type, MessageType::AsyncInitialize)) return AsyncInitialize(message);
    return Fail(FatalCode::InvalidInitialization, "the first message is Initialize or AsyncInitialize");
  }
  if (Is(type, MessageType::Initialize) || Is(type, MessageType::AsyncInitialize)) {
    return Fail(FatalCode::InvalidInitialization, "this channel is already initialized");
  }
  if (FindRoute(type, sync_ ? Side::Sync : Side::Async) == nullptr) {
    if (type >= hislip::kFirstVendorType) {
      return SendError(connection_, ErrorCode::UnrecognizedVendorMessage, "no vendor-defined messages here");
    }
    return SendError(connection_, ErrorCode::UnrecognizedMessageType, "this channel does not take that message");
  }
  if (message.payloadDropped) return SendError(connection_, ErrorCode::MessageTooLarge, "message too large");
  if (sync_) {
    if (!server_.Paired(*session_)) {
      return Fail(FatalCode::ChannelsNotEstablished, "the asynchronous channel is not established");
    }
    return sync_->Handle(message);
  }
  return async_->Handle(message);
}

void HislipChannel::OnBadHeader() { Fail(FatalCode::PoorlyFormedHeader, "a message starts with \"HS\""); }

bool HislipChannel::Initialize(const hislip::Message& message) {
  if (message.payloadDropped || !IsDeviceName(message.payload)) {
    return Fail(FatalCode::InvalidInitialization, "the device here is hislip0");
  }
  session_ = server_.Open(connection_);
  if (!session_) return Fail(FatalCode::TooManyClients, "too many sessions");
  sync_ = std::make_unique<HislipSyncChannel>(server_, session_, connection_, instrument_, faults_);
  // Control code 0: this server prefers synchronized mode.
  const std::uint32_t parameter = (std::uint32_t{hislip::kProtocolVersion} << 16) | server_.Id(*session_);
  return SendMessage(connection_, MessageType::InitializeResponse, 0, parameter);
}

bool HislipChannel::AsyncInitialize(const hislip::Message& message) {
  session_ = server_.Attach(static_cast<std::uint16_t>(message.header.parameter & 0xFFFF), connection_);
  if (!session_) return Fail(FatalCode::InvalidInitialization, "no session waits for that asynchronous channel");
  async_ = std::make_unique<HislipAsyncChannel>(server_, session_, connection_);
  return SendMessage(connection_, MessageType::AsyncInitializeResponse, 0, kVendorId);
}

bool HislipChannel::Fail(FatalCode code, std::string_view text) {
  SendMessage(connection_, MessageType::FatalError, static_cast<std::uint8_t>(code), 0, text);
  return false;
}

}  // namespace zta_sim
