#pragma once

// HiSLIP (IVI-6.1) message framing: a 16-byte header ("HS", message type,
// control code, 32-bit message parameter, 64-bit payload length, all big
// endian) followed by the payload.

#include <cstddef>
#include <cstdint>

#include "visa/visa_types.h"

namespace hvzelta::visa::hislip {

enum MessageType : ViUInt8 {
  kInitialize = 0,
  kInitializeResponse = 1,
  kFatalError = 2,
  kError = 3,
  kAsyncLock = 4,
  kAsyncLockResponse = 5,
  kData = 6,
  kDataEnd = 7,
  kDeviceClearComplete = 8,
  kDeviceClearAcknowledge = 9,
  kTrigger = 12,
  kInterrupted = 13,
  kAsyncInterrupted = 14,
  kAsyncMaximumMessageSize = 15,
  kAsyncMaximumMessageSizeResponse = 16,
  kAsyncInitialize = 17,
  kAsyncInitializeResponse = 18,
  kAsyncDeviceClear = 19,
  kAsyncServiceRequest = 20,
  kAsyncStatusQuery = 21,
  kAsyncStatusResponse = 22,
  kAsyncDeviceClearAcknowledge = 23,
};

// Fatal error codes a client sends.
constexpr ViUInt8 kFatalPoorlyFormedHeader = 1;
constexpr ViUInt8 kFatalUnidentified = 0;

// The first message ID after initialization and after a device clear; each
// Data, DataEnd or Trigger sent takes the next one, two further on.
constexpr ViUInt32 kInitialMessageId = 0xFFFFFF00u;

constexpr ViUInt16 kProtocolVersion = 0x0100;  // 1.0
constexpr std::size_t kHeaderSize = 16;

struct Header {
  ViUInt8 type = 0;
  ViUInt8 control = 0;
  ViUInt32 parameter = 0;
  ViUInt64 length = 0;
};

void EncodeHeader(const Header& header, ViByte* out);
// False when the bytes do not start with the "HS" prologue.
bool DecodeHeader(const ViByte* in, Header& header);

}  // namespace hvzelta::visa::hislip
