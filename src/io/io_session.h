#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fmtio/format_args.h"
#include "io/low_level_io.h"

#include "hvzelta/com/types.h"

namespace hvzelta {

class IErrorReporter;
class IEnumFormatter;
class IInstrErrorPoller;

// The driver's one channel to the instrument. Every operation with a timeout
// (kKeepTimeout keeps the current one) applies it for that call only and
// restores the session's own timeout after, on every path. Every operation of
// a session that is not open reports that no connection is established.
class IIoSession {
 public:
  virtual ~IIoSession() = default;

  // Opens the resource; the three callbacks are the driver's and must outlive
  // the session's open state.
  virtual HRESULT Open(std::string_view resourceName, IInstrErrorPoller* errorPoller, IErrorReporter* reporter,
                       IEnumFormatter* enumFormatter) = 0;
  virtual HRESULT Close() = 0;

  // Held for one whole exchange (a command and the read of its reply), so
  // that members of different objects of one driver, running on different
  // threads, never split each other's exchanges. The session's own compound
  // operations take it too.
  virtual std::recursive_mutex& ExchangeLock() = 0;

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

  // The formatted-write engine into the write buffer, without completing the
  // message.
  virtual HRESULT PrintfNoFlush(std::string_view format, FormatArgs& args, std::int32_t timeout) = 0;
  // Sends what the write buffer holds, with the write terminator and END
  // when `sendEnd`.
  virtual HRESULT FlushWrite(bool sendEnd, std::int32_t timeout) = 0;
  // The formatted-read engine over the current response, then drains what
  // the format left and polls instrument errors.
  virtual HRESULT Scanf(std::string_view format, FormatArgs& args, std::int32_t timeout) = 0;
  // Sends `command` as a complete message and reads one real number from the
  // reply; the polling form then polls instrument errors.
  virtual HRESULT QueryReal(std::string_view command, double& value, std::int32_t timeout) = 0;

  // The session's own timeout, in milliseconds.
  virtual HRESULT GetTimeout(std::int32_t& milliseconds) = 0;
  virtual HRESULT SetTimeout(std::int32_t milliseconds) = 0;

  // Raw access outside the formatted I/O buffer: one whole response, or one
  // whole message.
  virtual HRESULT DirectReadBytes(std::vector<std::uint8_t>& bytes) = 0;
  virtual HRESULT DirectReadString(std::string& text) = 0;
  virtual HRESULT DirectWriteBytes(std::span<const std::uint8_t> bytes, std::size_t& written) = 0;
  virtual HRESULT DirectWriteString(std::string_view text) = 0;
};

}  // namespace hvzelta
