#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hvzelta/com/types.h"

namespace hvzelta {

class IErrorReporter;
class IEnumFormatter;
class IInstrErrorPoller;

// Timeout argument that keeps the session's current timeout.
constexpr std::int32_t kKeepTimeout = -2;

// The driver's one channel to the instrument. Every operation with a timeout
// applies it for that call only and restores the session's own timeout after,
// on every path.
class IIoSession {
 public:
  virtual ~IIoSession() = default;

  // Opens the resource; the three callbacks are the driver's and must outlive
  // the session's open state.
  virtual HRESULT Open(std::string_view resourceName, IInstrErrorPoller* errorPoller, IErrorReporter* reporter,
                       IEnumFormatter* enumFormatter) = 0;
  virtual HRESULT Close() = 0;

  // The device operation without arguments: clears the instrument's I/O.
  virtual HRESULT DeviceClear() = 0;

  // Writes `text`; with flushWithEnd the message is completed with the write
  // terminator and END. The polling form then polls instrument errors.
  virtual HRESULT WriteString(std::string_view text, bool flushWithEnd, std::int32_t timeout) = 0;
  virtual HRESULT WriteStringNoPoll(std::string_view text, bool flushWithEnd, std::int32_t timeout) = 0;

  // Reads the rest of the current response, without its terminator. The
  // polling form then polls instrument errors.
  virtual HRESULT ReadString(std::string& text, std::int32_t timeout) = 0;
  virtual HRESULT ReadStringNoPoll(std::string& text, std::int32_t timeout) = 0;
};

}  // namespace hvzelta
