#pragma once

#include <cstdint>
#include <limits>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "fmtio/format_args.h"
#include "fmtio/io_buffer.h"
#include "io/exchange_steps.h"
#include "io/low_level_io.h"
#include "io/typed_directives.h"

#include "hvzelta/com/types.h"

namespace hvzelta {

class IErrorReporter;
class IEnumFormatter;
class IInstrErrorPoller;
class IVisaSession;

// The driver's one channel to the instrument. It is also the raw channel
// under its own buffer (ILowLevelIo), so a caller holding it reaches every
// level: formatted exchanges through the buffer, raw reads and writes around
// it, and the whole messages of direct I/O.
//
// Every operation with a timeout argument applies it for that call only
// (kKeepTimeout keeps the current one) and restores the session's own
// timeout after, on every path. Every operation of a session that is not open
// reports that no connection is established. Compound operations hold the
// exchange lock throughout, so a command and the read of its reply are never
// split by another thread's use of the session.
class IIoSession : public ILowLevelIo {
 public:
  virtual ~IIoSession() = default;

  // Opens the resource; the three callbacks are the driver's and must outlive
  // the session's open state.
  virtual HRESULT Open(std::string_view resourceName, IInstrErrorPoller* errorPoller, IErrorReporter* reporter,
                       IEnumFormatter* enumFormatter) = 0;
  virtual HRESULT Close() = 0;
  // From any thread, without the exchange lock: the transfer in progress
  // (and every later one) fails at once, so that the thread running it
  // returns. The session stays unusable for the instrument until it is
  // closed and opened again.
  virtual void Abort() {}

  // Held for one whole exchange. Callers that build an exchange out of
  // several operations take it around them; the session's own compound
  // operations take it themselves.
  virtual std::recursive_mutex& ExchangeLock() = 0;

  // The VISA facilities beyond message-based I/O (resource information,
  // attributes, register and event operations); null for a session that
  // does not sit on a VISA library.
  virtual IVisaSession* Visa() = 0;

  // The device.
  virtual HRESULT ReadStatusByte(std::int16_t* psStatusByte) = 0;
  // Clears the instrument's I/O; what the buffer held of a response is dropped.
  virtual HRESULT DeviceClear() = 0;
  // The instrument-level lock between sessions and processes: mode 0 takes
  // an exclusive lock, 1 a shared one under `requestedKey` (empty lets the
  // library choose); a shared lock's key arrives in `grantedKey` when given.
  virtual HRESULT Lock(std::int32_t mode, std::int32_t timeout, std::string_view requestedKey,
                       std::string* grantedKey) = 0;
  virtual HRESULT Unlock() = 0;
  virtual HRESULT PollInstrumentErrors() = 0;

  // Settings. Terminators may be set before opening; the rest needs an open
  // session. (Termination character enabled is ILowLevelIo's.)
  virtual HRESULT GetReadTerminator(std::string* terminator) = 0;
  virtual HRESULT SetReadTerminator(std::string_view terminator) = 0;
  virtual HRESULT GetWriteTerminator(std::string* terminator) = 0;
  virtual HRESULT SetWriteTerminator(std::string_view terminator) = 0;
  virtual HRESULT GetInstrumentBigEndian(VARIANT_BOOL* bigEndian) = 0;
  virtual HRESULT SetInstrumentBigEndian(VARIANT_BOOL bigEndian) = 0;
  // Milliseconds; -1 is no timeout at all.
  virtual HRESULT GetTimeout(std::int32_t* plTimeout) = 0;
  virtual HRESULT SetTimeout(std::int32_t milliseconds) = 0;
  HRESULT GetTimeout(std::int32_t& milliseconds) { return GetTimeout(&milliseconds); }
  virtual HRESULT GetTerminationCharacter(std::uint8_t* pcTermChar) = 0;
  virtual HRESULT SetTerminationCharacter(std::uint8_t character) = 0;
  virtual HRESULT SetBufferSize(BufferSelect which, std::int32_t capacity) = 0;
  virtual HRESULT GetReadBufferSize(std::int32_t* capacity) = 0;
  virtual HRESULT GetWriteBufferSize(std::int32_t* capacity) = 0;

  // Sends what the write buffer holds, with the write terminator and END
  // when `sendEnd`; drops (draining the device) what is left of a response.
  virtual HRESULT FlushWrite(bool sendEnd, std::int32_t timeout) = 0;
  virtual HRESULT FlushRead(std::int32_t timeout) = 0;

  // Text through the buffer. A write with flushWithEnd completes the
  // message with the write terminator and END; a read takes the rest of the
  // current response without its terminator. The polling forms then poll
  // instrument errors (a write only when it completed the message).
  virtual HRESULT WriteString(std::string_view text, bool flushWithEnd, std::int32_t timeout) = 0;
  virtual HRESULT WriteStringNoPoll(std::string_view text, bool flushWithEnd, std::int32_t timeout) = 0;
  virtual HRESULT ReadString(std::string& text, std::int32_t timeout) = 0;
  virtual HRESULT ReadStringNoPoll(std::string& text, std::int32_t timeout) = 0;

  // The one engine behind every formatted operation: the steps run in their
  // order over one argument list, the read continuing where the write
  // stopped; the first failure ends the sequence and is the result.
  virtual HRESULT Exchange(const ExchangeSteps& steps, std::string_view writeFormat, std::string_view readFormat,
                           FormatArgs& args, std::int32_t timeout) = 0;

  // Printf: write engine, FlushWrite with END, poll. PrintfNoFlush: the write
  // engine alone. Scanf: read engine, FlushRead, poll. ScanfNoFlush: the read
  // engine alone. QueryfNoPoll: FlushRead of an earlier response, write
  // engine, FlushWrite with END, read engine; what the read format leaves
  // stays for the next drain. Queryf: the same, then poll.
  HRESULT Printf(std::string_view format, FormatArgs& args, std::int32_t timeout) {
    return Exchange(kPrintf, format, {}, args, timeout);
  }
  HRESULT PrintfNoFlush(std::string_view format, FormatArgs& args, std::int32_t timeout) {
    return Exchange(kPrintfNoFlush, format, {}, args, timeout);
  }
  HRESULT Scanf(std::string_view format, FormatArgs& args, std::int32_t timeout) {
    return Exchange(kScanf, {}, format, args, timeout);
  }
  HRESULT ScanfNoFlush(std::string_view format, FormatArgs& args, std::int32_t timeout) {
    return Exchange(kScanfNoFlush, {}, format, args, timeout);
  }
  HRESULT Queryf(std::string_view writeFormat, std::string_view readFormat, FormatArgs& args, std::int32_t timeout) {
    return Exchange(kQueryf, writeFormat, readFormat, args, timeout);
  }
  HRESULT QueryfNoPoll(std::string_view writeFormat, std::string_view readFormat, FormatArgs& args,
                       std::int32_t timeout) {
    return Exchange(kQueryfNoPoll, writeFormat, readFormat, args, timeout);
  }

  // The same with the arguments given directly and the timeout kept.
  template <class... Args>
    requires(!std::is_same_v<std::remove_cvref_t<Args>, FormatArgs> && ...)
  HRESULT Printf(std::string_view format, Args&&... args) {
    return Packed(kPrintf, format, {}, std::forward<Args>(args)...);
  }
  template <class... Args>
    requires(!std::is_same_v<std::remove_cvref_t<Args>, FormatArgs> && ...)
  HRESULT PrintfNoFlush(std::string_view format, Args&&... args) {
    return Packed(kPrintfNoFlush, format, {}, std::forward<Args>(args)...);
  }
  template <class... Args>
    requires(!std::is_same_v<std::remove_cvref_t<Args>, FormatArgs> && ...)
  HRESULT Scanf(std::string_view format, Args&&... args) {
    return Packed(kScanf, {}, format, std::forward<Args>(args)...);
  }
  template <class... Args>
    requires(!std::is_same_v<std::remove_cvref_t<Args>, FormatArgs> && ...)
  HRESULT ScanfNoFlush(std::string_view format, Args&&... args) {
    return Packed(kScanfNoFlush, {}, format, std::forward<Args>(args)...);
  }
  template <class... Args>
    requires(!std::is_same_v<std::remove_cvref_t<Args>, FormatArgs> && ...)
  HRESULT Queryf(std::string_view writeFormat, std::string_view readFormat, Args&&... args) {
    return Packed(kQueryf, writeFormat, readFormat, std::forward<Args>(args)...);
  }
  template <class... Args>
    requires(!std::is_same_v<std::remove_cvref_t<Args>, FormatArgs> && ...)
  HRESULT QueryfNoPoll(std::string_view writeFormat, std::string_view readFormat, Args&&... args) {
    return Packed(kQueryfNoPoll, writeFormat, readFormat, std::forward<Args>(args)...);
  }

  // Typed conveniences for numbers (int16, int32, int64, float, double,
  // bytes), their lists and definite-length blocks, and text replies. Writes
  // and reads poll when they complete a message and `polling` is on; a query
  // drains an earlier response, sends `command` as a whole message, reads
  // the reply, drops its rest and polls when `polling` is on. A list read
  // stores at most destination.size() elements and `count` tells how many
  // arrived; `separator` is one of , ; : space tab CR LF.
  template <TypedElement T>
  HRESULT WriteNumber(T value, bool flushWithEnd, std::int32_t timeout = kKeepTimeout,
                      Polling polling = Polling::On) {
    return Typed(ExchangeSteps::Write(flushWithEnd, polling), TypedDirectivesOf<T>::kRow.write, {}, timeout, value);
  }
  template <TypedElement T>
  HRESULT ReadNumber(T& value, bool flushAfter, std::int32_t timeout = kKeepTimeout, Polling polling = Polling::On) {
    return Typed(ExchangeSteps::Read(flushAfter, polling), {}, TypedDirectivesOf<T>::kRow.read, timeout, &value);
  }
  template <TypedElement T>
  HRESULT QueryNumber(std::string_view command, T& value, std::int32_t timeout = kKeepTimeout,
                      Polling polling = Polling::On) {
    return Typed(ExchangeSteps::Query(polling), "%s", TypedDirectivesOf<T>::kRow.read, timeout, command, &value);
  }
  // The query the members use for their real-valued settings and measurements.
  HRESULT QueryReal(std::string_view command, double& value, std::int32_t timeout) {
    return QueryNumber(command, value, timeout);
  }
  HRESULT QueryText(std::string_view command, std::string& reply, std::int32_t timeout = kKeepTimeout,
                    Polling polling = Polling::On) {
    return Typed(ExchangeSteps::Query(polling), "%s", "%$Ct", timeout, command, &reply);
  }

  template <TypedElement T>
  HRESULT WriteList(std::span<const T> values, char separator, bool flushWithEnd, std::int32_t timeout = kKeepTimeout,
                    Polling polling = Polling::On) {
    std::string directive;
    if (!Counted(values) || !BuildListDirective(TypedDirectivesOf<T>::kRow, ListDirection::Write, separator, directive))
      return E_INVALIDARG;
    return Typed(ExchangeSteps::Write(flushWithEnd, polling), directive, {}, timeout,
                 static_cast<std::int32_t>(values.size()), values);
  }
  template <TypedElement T>
  HRESULT ReadList(std::span<T> destination, std::int32_t& count, char separator, bool flushAfter,
                   std::int32_t timeout = kKeepTimeout, Polling polling = Polling::On) {
    std::string directive;
    if (!PrepareCount(destination, count) ||
        !BuildListDirective(TypedDirectivesOf<T>::kRow, ListDirection::Read, separator, directive))
      return E_INVALIDARG;
    return Counting(count, Typed(ExchangeSteps::Read(flushAfter, polling), {}, directive, timeout, &count, destination));
  }
  template <TypedElement T>
  HRESULT QueryList(std::string_view command, std::span<T> destination, std::int32_t& count, char separator,
                    std::int32_t timeout = kKeepTimeout, Polling polling = Polling::On) {
    std::string directive;
    if (!PrepareCount(destination, count) ||
        !BuildListDirective(TypedDirectivesOf<T>::kRow, ListDirection::Read, separator, directive))
      return E_INVALIDARG;
    return Counting(count, Typed(ExchangeSteps::Query(polling), "%s", directive, timeout, command, &count, destination));
  }

  // Blocks carry multi-byte elements in the instrument's byte order.
  template <TypedElement T>
  HRESULT WriteBlock(std::span<const T> values, bool flushWithEnd, std::int32_t timeout = kKeepTimeout,
                     Polling polling = Polling::On) {
    if (!Counted(values)) return E_INVALIDARG;
    return Typed(ExchangeSteps::Write(flushWithEnd, polling), TypedDirectivesOf<T>::kRow.blockWrite, {}, timeout,
                 static_cast<std::int32_t>(values.size()), values);
  }
  template <TypedElement T>
  HRESULT ReadBlock(std::span<T> destination, std::int32_t& count, bool flushAfter,
                    std::int32_t timeout = kKeepTimeout, Polling polling = Polling::On) {
    if (!PrepareCount(destination, count)) return E_INVALIDARG;
    return Counting(count, Typed(ExchangeSteps::Read(flushAfter, polling), {}, TypedDirectivesOf<T>::kRow.blockRead,
                                 timeout, &count, destination));
  }
  template <TypedElement T>
  HRESULT QueryBlock(std::string_view command, std::span<T> destination, std::int32_t& count,
                     std::int32_t timeout = kKeepTimeout, Polling polling = Polling::On) {
    if (!PrepareCount(destination, count)) return E_INVALIDARG;
    return Counting(count, Typed(ExchangeSteps::Query(polling), "%s", TypedDirectivesOf<T>::kRow.blockRead, timeout,
                                 command, &count, destination));
  }

  // Raw access around the buffer, beside ILowLevelIo's operations: whole
  // arrays and texts, and the forms that poll instrument errors after.
  virtual HRESULT LowLevelReadBytesNoPoll(SAFEARRAY** bytes, std::int32_t count, std::int32_t timeout) = 0;
  virtual HRESULT LowLevelWriteBytesNoPoll(const SAFEARRAY* bytes, std::int32_t* written, std::int32_t timeout) = 0;
  virtual HRESULT LowLevelWriteStringNoPoll(std::wstring_view text, std::int32_t* written, std::int32_t timeout) = 0;

  HRESULT LowLevelRead(std::uint8_t* buffer, std::int32_t count, std::int32_t* actual, std::int32_t timeout) {
    return ThenPoll([&] { return LowLevelReadNoPoll(buffer, count, actual, timeout); });
  }
  HRESULT LowLevelReadBytes(SAFEARRAY** bytes, std::int32_t count, std::int32_t timeout) {
    return ThenPoll([&] { return LowLevelReadBytesNoPoll(bytes, count, timeout); });
  }
  HRESULT LowLevelReadString(BSTR* text, std::int32_t count, std::int32_t timeout) {
    return ThenPoll([&] { return LowLevelReadStringNoPoll(text, count, timeout); });
  }
  HRESULT LowLevelWrite(const std::uint8_t* buffer, std::int32_t count, std::int32_t* written, std::int32_t timeout) {
    return ThenPoll([&] { return LowLevelWriteNoPoll(buffer, count, written, timeout); });
  }
  HRESULT LowLevelWriteBytes(const SAFEARRAY* bytes, std::int32_t* written, std::int32_t timeout) {
    return ThenPoll([&] { return LowLevelWriteBytesNoPoll(bytes, written, timeout); });
  }
  HRESULT LowLevelWriteString(std::wstring_view text, std::int32_t* written, std::int32_t timeout) {
    return ThenPoll([&] { return LowLevelWriteStringNoPoll(text, written, timeout); });
  }

  // Direct I/O outside the buffer: one whole response, or one whole message.
  virtual HRESULT DirectReadBytes(std::vector<std::uint8_t>& bytes) = 0;
  virtual HRESULT DirectReadString(std::string& text) = 0;
  virtual HRESULT DirectWriteBytes(std::span<const std::uint8_t> bytes, std::size_t& written) = 0;
  virtual HRESULT DirectWriteString(std::string_view text) = 0;

 private:
  template <class... Args>
  HRESULT Packed(const ExchangeSteps& steps, std::string_view writeFormat, std::string_view readFormat,
                 Args&&... args) {
    return Typed(steps, writeFormat, readFormat, kKeepTimeout, std::forward<Args>(args)...);
  }
  template <class... Args>
  HRESULT Typed(const ExchangeSteps& steps, std::string_view writeFormat, std::string_view readFormat,
                std::int32_t timeout, Args&&... args) {
    auto packed = PackFormatArgs(std::forward<Args>(args)...);
    FormatArgs list(packed);
    return Exchange(steps, writeFormat, readFormat, list, timeout);
  }
  template <class T>
  static bool Counted(std::span<T> values) {
    return values.size() <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
  }
  // The read directives take their maximum from the count they then fill.
  template <class T>
  static bool PrepareCount(std::span<T> destination, std::int32_t& count) {
    count = 0;
    if (!Counted(destination)) return false;
    count = static_cast<std::int32_t>(destination.size());
    return true;
  }
  // A failed read stored nothing the caller may count on.
  static HRESULT Counting(std::int32_t& count, HRESULT hr) {
    if (Failed(hr)) count = 0;
    return hr;
  }
  template <class Operation>
  HRESULT ThenPoll(Operation operation) {
    std::lock_guard exchange(ExchangeLock());
    const HRESULT hr = operation();
    if (Failed(hr)) return hr;
    const HRESULT polled = PollInstrumentErrors();
    return Failed(polled) ? polled : hr;
  }
};

}  // namespace hvzelta
