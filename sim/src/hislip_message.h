#pragma once

// HiSLIP messages as they travel: a 16-byte header ("HS", message type,
// control code, 32-bit message parameter, 64-bit payload length, all big
// endian) and the payload; and a framer that cuts a byte stream into them
// without ever holding more than one bounded payload.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zta_sim::hislip {

enum class MessageType : std::uint8_t {
  Initialize = 0,
  InitializeResponse = 1,
  FatalError = 2,
  Error = 3,
  AsyncLock = 4,
  AsyncLockResponse = 5,
  Data = 6,
  DataEnd = 7,
  DeviceClearComplete = 8,
  DeviceClearAcknowledge = 9,
  AsyncRemoteLocalControl = 10,
  AsyncRemoteLocalResponse = 11,
  Trigger = 12,
  AsyncMaximumMessageSize = 15,
  AsyncMaximumMessageSizeResponse = 16,
  AsyncInitialize = 17,
  AsyncInitializeResponse = 18,
  AsyncDeviceClear = 19,
  AsyncStatusQuery = 21,
  AsyncStatusResponse = 22,
  AsyncDeviceClearAcknowledge = 23,
  AsyncLockInfo = 24,
  AsyncLockInfoResponse = 25,
};

// Types from here up belong to vendors.
inline constexpr std::uint8_t kFirstVendorType = 128;

enum class ErrorCode : std::uint8_t {
  Unidentified = 0,
  UnrecognizedMessageType = 1,
  UnrecognizedControlCode = 2,
  UnrecognizedVendorMessage = 3,
  MessageTooLarge = 4,
};

enum class FatalCode : std::uint8_t {
  Unidentified = 0,
  PoorlyFormedHeader = 1,
  ChannelsNotEstablished = 2,
  InvalidInitialization = 3,
  TooManyClients = 4,
};

// Lock response control codes.
enum class LockResult : std::uint8_t { Failed = 0, Granted = 1, ReleasedShared = 2, Error = 3 };

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::uint16_t kProtocolVersion = 0x0100;  // 1.0
// The message ID a client starts from, after initialization and after each
// device clear; every Data, DataEnd and Trigger it sends takes the next one,
// two further on.
inline constexpr std::uint32_t kInitialMessageId = 0xFFFFFF00u;

struct Header {
  std::uint8_t type = 0;
  std::uint8_t control = 0;
  std::uint32_t parameter = 0;
  std::uint64_t length = 0;
};

std::string EncodeHeader(MessageType type, std::uint8_t control, std::uint32_t parameter, std::uint64_t length);
// False when the bytes do not start with the "HS" prologue.
bool DecodeHeader(std::string_view bytes, Header& header);

std::uint64_t ReadBigEndian64(std::string_view bytes);
std::string BigEndian64(std::uint64_t value);

struct Message {
  Header header;
  std::string_view payload;     // empty when dropped
  bool payloadDropped = false;  // longer than the receiver takes for this type
};

class FrameHandler {
 public:
  virtual ~FrameHandler() = default;
  // The longest payload the receiver keeps for a message of this type.
  virtual std::size_t PayloadLimit(std::uint8_t type) const = 0;
  // False ends the stream: nothing more is framed.
  virtual bool OnMessage(const Message& message) = 0;
  // The stream lost its framing; nothing more is framed after this.
  virtual void OnBadHeader() = 0;
};

class Framer {
 public:
  // False once the stream has ended (bad header or the handler said so).
  bool Feed(std::string_view bytes, FrameHandler& handler);

 private:
  std::string header_;  // the part of the next header received so far
  Header current_;
  bool inPayload_ = false;
  bool keep_ = false;  // the payload is kept, not skipped
  std::uint64_t left_ = 0;
  std::string payload_;
  bool ended_ = false;
};

}  // namespace zta_sim::hislip
