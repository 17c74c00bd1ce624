#pragma once

// The raw channel to the device underneath the instrument buffer: unbuffered
// reads that say whether the device ended its message, writes, and the two
// channel switches the buffer toggles around binary reads and partial writes.
// The I/O session implements it over the VISA layer.

#include <cstdint>

#include "hvzelta/com/bstr.h"
#include "hvzelta/com/types.h"

namespace hvzelta {

// The timeout argument that keeps the channel's current timeout.
constexpr std::int32_t kKeepTimeout = -2;

class ILowLevelIo {
 public:
  virtual HRESULT SetTerminationCharacterEnabled(VARIANT_BOOL enabled) = 0;
  virtual HRESULT GetTerminationCharacterEnabled(VARIANT_BOOL* enabled) = 0;
  virtual HRESULT SetSendEndEnabled(VARIANT_BOOL enabled) = 0;
  virtual HRESULT GetSendEndEnabled(VARIANT_BOOL* enabled) = 0;

  // Reads at most `count` bytes. Success is S_OK when the device ended its
  // message (END or the termination character) and S_MORE_DATA_AVAILABLE when
  // the count ran out first; `actual` is set on both.
  virtual HRESULT LowLevelReadNoPoll(std::uint8_t* buffer, std::int32_t count, std::int32_t* actual,
                                     std::int32_t timeoutMs) = 0;
  // The same, into a new text the caller frees.
  virtual HRESULT LowLevelReadStringNoPoll(BSTR* text, std::int32_t count, std::int32_t timeoutMs) = 0;
  // Writes `count` bytes; END goes with the last byte when send END is enabled.
  virtual HRESULT LowLevelWriteNoPoll(const std::uint8_t* buffer, std::int32_t count, std::int32_t* written,
                                      std::int32_t timeoutMs) = 0;
  // The timeout in effect in milliseconds, negative for none: the buffer
  // bounds all the transfers of one call by it.
  virtual std::int32_t CurrentTimeout() { return -1; }

 protected:
  ~ILowLevelIo() = default;
};

}  // namespace hvzelta
