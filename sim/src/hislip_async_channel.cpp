#include "hislip_async_channel.h"

#include <chrono>
#include <string>

namespace zta_sim {

using hislip::MessageType;

namespace {

constexpr std::uint8_t kLockRelease = 0;
constexpr std::uint8_t kLockRequest = 1;
// Remote/local control codes run from "disable remote" (0) to "go to local
// without changing REN" (6); the emulated instrument has no front panel to
// lock, so each is simply acknowledged.
constexpr std::uint8_t kLastRemoteLocalCode = 6;

}  // namespace

bool HislipAsyncChannel::Handle(const hislip::Message& message) {
  const hislip::Header& header = message.header;
  switch (static_cast<MessageType>(header.type)) {
    case MessageType::AsyncLock:
      return Lock(message);
    case MessageType::AsyncLockInfo: {
      const auto [exclusive, holders] = server_.LockInfo();
      return SendMessage(connection_, MessageType::AsyncLockInfoResponse, exclusive ? 1 : 0, holders);
    }
    case MessageType::AsyncRemoteLocalControl:
      if (header.control > kLastRemoteLocalCode) {
        return SendError(connection_, hislip::ErrorCode::UnrecognizedControlCode, "unknown remote/local control code");
      }
      return SendMessage(connection_, MessageType::AsyncRemoteLocalResponse, 0, 0);
    case MessageType::AsyncMaximumMessageSize:
      return MaximumMessageSize(message);
    case MessageType::AsyncDeviceClear:
      server_.BeginClear(*session_);
      // Feature preference: synchronized mode.
      return SendMessage(connection_, MessageType::AsyncDeviceClearAcknowledge, 0, 0);
    case MessageType::AsyncStatusQuery: {
      const std::uint8_t status = server_.StatusByte(*session_, (header.control & 1) != 0, header.parameter);
      return SendMessage(connection_, MessageType::AsyncStatusResponse, status, 0);
    }
    default:
      return true;  // the router sends no other type here
  }
}

bool HislipAsyncChannel::Lock(const hislip::Message& message) {
  hislip::LockResult result = hislip::LockResult::Error;
  if (message.header.control == kLockRequest) {
    // The parameter is the timeout in milliseconds, the payload the name of
    // a shared lock, or nothing for the exclusive lock.
    result = server_.Lock(*session_, std::string(message.payload), std::chrono::milliseconds(message.header.parameter));
  } else if (message.header.control == kLockRelease) {
    result = server_.Unlock(*session_);
  } else {
    return SendError(connection_, hislip::ErrorCode::UnrecognizedControlCode,
                     "AsyncLock is a request (1) or a release (0)");
  }
  return SendMessage(connection_, MessageType::AsyncLockResponse, static_cast<std::uint8_t>(result), 0);
}

bool HislipAsyncChannel::MaximumMessageSize(const hislip::Message& message) {
  if (message.payload.size() != 8) {
    return SendError(connection_, hislip::ErrorCode::Unidentified, "AsyncMaximumMessageSize carries an 8-byte size");
  }
  server_.SetClientMaxMessage(*session_, hislip::ReadBigEndian64(message.payload));
  return SendMessage(connection_, MessageType::AsyncMaximumMessageSizeResponse, 0, 0,
                     hislip::BigEndian64(HislipServer::kMaxMessage));
}

}  // namespace zta_sim
