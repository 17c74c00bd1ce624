#include "hislip_test_client.h"

#include <gtest/gtest.h>

namespace sim_test {

std::string BigEndian(std::uint64_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(value >> (8 * i));
  return out;
}

void HislipChannelClient::Send(std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                               std::string_view payload) {
  std::string message(hs::kHeaderSize, '\0');
  hs::EncodeHeader({type, control, parameter, payload.size()},
                   reinterpret_cast<hvzelta::visa::ViByte*>(message.data()));
  socket_.Send(message + std::string(payload));
}

HislipMessage HislipChannelClient::Receive(std::chrono::milliseconds timeout) {
  HislipMessage message;
  const std::string header = socket_.ReadBytes(hs::kHeaderSize, timeout);
  hs::Header decoded;
  if (header.size() < hs::kHeaderSize) return message;
  EXPECT_TRUE(hs::DecodeHeader(reinterpret_cast<const hvzelta::visa::ViByte*>(header.data()), decoded));
  message = {decoded.type, decoded.control, decoded.parameter, socket_.ReadBytes(decoded.length, timeout)};
  EXPECT_EQ(message.payload.size(), decoded.length);
  return message;
}

HislipSession::HislipSession(std::uint16_t port, std::uint64_t maxMessage) : sync(port), async(port) {
  const HislipMessage initialized = sync.Ask(hs::kInitialize, 0, 0x0100'0000u | ('T' << 8) | 'C', "hislip0");
  EXPECT_EQ(initialized.type, hs::kInitializeResponse);
  serverVersion = static_cast<std::uint16_t>(initialized.parameter >> 16);
  sessionId = static_cast<std::uint16_t>(initialized.parameter);
  const HislipMessage paired = async.Ask(hs::kAsyncInitialize, 0, sessionId);
  EXPECT_EQ(paired.type, hs::kAsyncInitializeResponse);
  vendorId = paired.parameter;
  if (maxMessage == 0) return;
  const HislipMessage size = async.Ask(hs::kAsyncMaximumMessageSize, 0, 0, BigEndian(maxMessage, 8));
  EXPECT_EQ(size.type, hs::kAsyncMaximumMessageSizeResponse);
  for (const char byte : size.payload) serverMaxMessage = (serverMaxMessage << 8) | static_cast<unsigned char>(byte);
}

void HislipSession::Write(std::string_view text, bool end) {
  sync.Send(end ? hs::kDataEnd : hs::kData, rmtDelivered_ ? 1 : 0, nextId_, text);
  rmtDelivered_ = false;
  lastId = nextId_;
  nextId_ += 2;
}

std::string HislipSession::Read(std::chrono::milliseconds timeout) {
  std::string reply;
  dataMessages = 0;
  for (int i = 0; i < 100000; ++i) {
    HislipMessage message = sync.Receive(timeout);
    if (message.type == 0xFF) return "<no reply>";
    if (message.type != hs::kData && message.type != hs::kDataEnd) {
      ADD_FAILURE() << "message type " << int{message.type} << " on the synchronous channel";
      continue;
    }
    if (message.parameter != lastId) continue;  // the reply to an earlier message
    ++dataMessages;
    reply += message.payload;
    if (message.type == hs::kDataEnd) {
      rmtDelivered_ = true;
      return reply;
    }
  }
  return "<endless reply>";
}

std::uint8_t HislipSession::StatusByte() {
  const HislipMessage status = async.Ask(hs::kAsyncStatusQuery, rmtDelivered_ ? 1 : 0, lastId);
  rmtDelivered_ = false;
  EXPECT_EQ(status.type, hs::kAsyncStatusResponse);
  return status.control;
}

bool HislipSession::Clear() {
  const HislipMessage acknowledged = async.Ask(hs::kAsyncDeviceClear, 0, 0);
  if (acknowledged.type != hs::kAsyncDeviceClearAcknowledge) return false;
  sync.Send(hs::kDeviceClearComplete, acknowledged.control, 0);
  for (int i = 0; i < 1000; ++i) {
    const HislipMessage message = sync.Receive();
    if (message.type == 0xFF) return false;
    if (message.type == hs::kDeviceClearAcknowledge) {
      nextId_ = 0xFFFFFF00u;
      lastId = nextId_ - 2;
      rmtDelivered_ = false;
      return true;
    }
  }
  return false;
}

int HislipSession::Lock(std::string_view key, std::uint32_t timeoutMs) {
  const HislipMessage reply = async.Ask(hs::kAsyncLock, 1, timeoutMs, key, std::chrono::milliseconds(timeoutMs) + 2s);
  return reply.type == hs::kAsyncLockResponse ? reply.control : -1;
}

int HislipSession::Unlock() {
  const HislipMessage reply = async.Ask(hs::kAsyncLock, 0, lastId);
  return reply.type == hs::kAsyncLockResponse ? reply.control : -1;
}

}  // namespace sim_test
