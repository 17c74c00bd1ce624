#include "io/io_session_base.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "base/error_reporter.h"
#include "fmtio/format_reader.h"
#include "fmtio/format_writer.h"
#include "fmtio/io_error.h"
#include "hvzelta/com/error_info.h"
#include "io/instr_error_poller.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

// The piece a raw read asks the channel for at a time, so that memory
// follows the bytes that arrive rather than the count a caller asked for.
constexpr std::int32_t kRawPiece = 64 * 1024;

}  // namespace

CIoSession::TimeoutScope::TimeoutScope(CIoSession& session, std::int32_t timeout) : session_(session) {
  if (timeout != kKeepTimeout) {
    status_ = session_.GetTimeout(&saved_);
    if (Succeeded(status_)) status_ = session_.SetTimeout(timeout);
    restore_ = Succeeded(status_);
  }
  // Transfers inside a call (the buffer's, each with a scope of its own)
  // run on the clock of the call.
  if (session_.buffer_ && !session_.callRunning_) {
    outermost_ = session_.callRunning_ = true;
    session_.buffer_->BeginCall();
  }
}

CIoSession::TimeoutScope::~TimeoutScope() {
  if (restore_) session_.SetTimeout(saved_);
  if (outermost_) {
    session_.callRunning_ = false;
    if (session_.buffer_) session_.buffer_->EndCall();
  }
}

std::int32_t CIoSession::CurrentTimeout() {
  std::int32_t timeout = -1;
  return Succeeded(GetTimeout(&timeout)) ? timeout : -1;
}

HRESULT CIoSession::Open(std::string_view resourceName, IInstrErrorPoller* errorPoller, IErrorReporter* reporter,
                         IEnumFormatter* enumFormatter) {
  if (!errorPoller || !reporter || !enumFormatter) return E_POINTER;
  std::lock_guard exchange(exchange_);
  if (buffer_) Close();
  errorPoller_ = errorPoller;
  reporter_ = reporter;
  enumFormatter_ = enumFormatter;
  buffer_ = std::make_unique<CInstrBuffer>(bufferChannel_, *reporter, readTerminator_, writeTerminator_);
  if (!buffer_->IsValid()) {
    buffer_.reset();
    return ReportOutOfMemory(reporter, "Failed to create the formatted I/O read and write buffers.");
  }
  responseAbandoned_ = false;
  const HRESULT hr = OpenDevice(resourceName);
  if (Failed(hr)) buffer_.reset();
  return hr;
}

HRESULT CIoSession::Close() {
  std::lock_guard exchange(exchange_);
  buffer_.reset();
  responseAbandoned_ = false;
  return CloseDevice();
}

HRESULT CIoSession::ReportNotOpen() const {
  return reporter_ ? reporter_->Report(Message::NotInitialized) : E_IVI_NOT_INITIALIZED;
}

HRESULT CIoSession::ReportNullPointer(std::string_view method, std::string_view parameter) const {
  return ::hvzelta::ReportNullPointer(reporter_, method, parameter);
}

void CIoSession::RecoverResponse() {
  if (!responseAbandoned_) return;
  responseAbandoned_ = false;
  buffer_->DiscardRead();
  // Best effort: a transport that cannot clear the device still drops what
  // already arrived, and the next exchange reports whatever goes wrong.
  ClearDevice();
}

HRESULT CIoSession::DeviceClear() {
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  responseAbandoned_ = false;
  buffer_->DiscardRead();
  buffer_->DiscardWrite();
  return ClearDevice();
}

HRESULT CIoSession::PollInstrumentErrors() {
  std::lock_guard exchange(exchange_);
  return PollAfter(S_OK);
}

HRESULT CIoSession::PollAfter(HRESULT hr) {
  if (Failed(hr) || !errorPoller_) return hr;
  const HRESULT polled = errorPoller_->PollInstrumentErrors();
  return Failed(polled) ? polled : hr;
}

template <class Work>
HRESULT CIoSession::Buffered(std::int32_t timeout, Work work) {
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  TimeoutScope scope(*this, timeout);
  if (Failed(scope.Status())) return AsDriverIoStatus(scope.Status());
  // The recovery runs on the call's clock: once the instrument stops
  // answering, a call costs one timeout, device clear included.
  RecoverResponse();
  const HRESULT hr = work(*buffer_);
  // A call that ran out of time between two transfers gave up on the
  // response just as a transfer that timed out does.
  if (hr == E_HALVORNZELTA_IO_TIMEOUT) AbandonResponse();
  return hr;
}

HRESULT CIoSession::GetReadTerminator(std::string* terminator) {
  if (!terminator) return ReportNullPointer("GetReadTerminator", "pbstrTerminator");
  std::lock_guard exchange(exchange_);
  *terminator = readTerminator_;
  return S_OK;
}

HRESULT CIoSession::SetReadTerminator(std::string_view terminator) {
  std::lock_guard exchange(exchange_);
  readTerminator_ = terminator;
  if (buffer_) buffer_->SetReadTerminator(readTerminator_);
  return S_OK;
}

HRESULT CIoSession::GetWriteTerminator(std::string* terminator) {
  if (!terminator) return ReportNullPointer("GetWriteTerminator", "pbstrTerminator");
  std::lock_guard exchange(exchange_);
  *terminator = writeTerminator_;
  return S_OK;
}

HRESULT CIoSession::SetWriteTerminator(std::string_view terminator) {
  std::lock_guard exchange(exchange_);
  if (buffer_) {
    if (HRESULT hr = buffer_->SetWriteTerminator(terminator); Failed(hr)) return hr;
  }
  writeTerminator_ = terminator;
  return S_OK;
}

HRESULT CIoSession::GetInstrumentBigEndian(VARIANT_BOOL* bigEndian) {
  if (!bigEndian) return ReportNullPointer("GetInstrumentBigEndian", "pbBigEndian");
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  *bigEndian = ToVariantBool(buffer_->GetInstrumentBigEndian());
  return S_OK;
}

HRESULT CIoSession::SetInstrumentBigEndian(VARIANT_BOOL bigEndian) {
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  buffer_->SetInstrumentBigEndian(bigEndian != VARIANT_FALSE);
  return S_OK;
}

HRESULT CIoSession::SetBufferSize(BufferSelect which, std::int32_t capacity) {
  return Buffered(kKeepTimeout, [&](CInstrBuffer& buffer) { return buffer.SetBufferSize(which, capacity); });
}

HRESULT CIoSession::GetReadBufferSize(std::int32_t* capacity) {
  std::lock_guard exchange(exchange_);
  return IsOpen() ? buffer_->GetReadBufferSize(capacity) : ReportNotOpen();
}

HRESULT CIoSession::GetWriteBufferSize(std::int32_t* capacity) {
  std::lock_guard exchange(exchange_);
  return IsOpen() ? buffer_->GetWriteBufferSize(capacity) : ReportNotOpen();
}

HRESULT CIoSession::FlushWrite(bool sendEnd, std::int32_t timeout) {
  return Buffered(timeout, [&](CInstrBuffer& buffer) { return buffer.FlushWrite(sendEnd); });
}

HRESULT CIoSession::FlushRead(std::int32_t timeout) {
  return Buffered(timeout, [](CInstrBuffer& buffer) { return buffer.FlushRead(); });
}

HRESULT CIoSession::WriteText(std::string_view text, bool flushWithEnd, std::int32_t timeout, Polling polling) {
  return Buffered(timeout, [&](CInstrBuffer& buffer) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
      return ReportIoError(reporter_, IoFailure::WriteTooLong);
    }
    std::int32_t written = 0;
    const HRESULT hr = buffer.Write(text.data(), static_cast<std::int32_t>(text.size()), &written, flushWithEnd);
    if (Failed(hr) && flushWithEnd) buffer.DiscardWrite();
    return flushWithEnd && polling == Polling::On ? PollAfter(hr) : hr;
  });
}

HRESULT CIoSession::WriteString(std::string_view text, bool flushWithEnd, std::int32_t timeout) {
  return WriteText(text, flushWithEnd, timeout, Polling::On);
}

HRESULT CIoSession::WriteStringNoPoll(std::string_view text, bool flushWithEnd, std::int32_t timeout) {
  return WriteText(text, flushWithEnd, timeout, Polling::Off);
}

HRESULT CIoSession::ReadText(std::string& text, std::int32_t timeout, Polling polling) {
  return Buffered(timeout, [&](CInstrBuffer& buffer) {
    text.clear();
    char chunk[4096];
    HRESULT hr = S_MORE_DATA_AVAILABLE;
    // The channel ends a response that never ends at its limit.
    while (hr == S_MORE_DATA_AVAILABLE) {
      std::int32_t actual = 0;
      hr = buffer.Read(chunk, sizeof chunk, &actual, false);
      if (Succeeded(hr)) text.append(chunk, static_cast<std::size_t>(actual));
    }
    return polling == Polling::On ? PollAfter(hr) : hr;
  });
}

HRESULT CIoSession::ReadString(std::string& text, std::int32_t timeout) {
  return ReadText(text, timeout, Polling::On);
}

HRESULT CIoSession::ReadStringNoPoll(std::string& text, std::int32_t timeout) {
  return ReadText(text, timeout, Polling::Off);
}

HRESULT CIoSession::Exchange(const ExchangeSteps& steps, std::string_view writeFormat, std::string_view readFormat,
                             FormatArgs& args, std::int32_t timeout) {
  return Buffered(timeout, [&](CInstrBuffer& buffer) {
    HRESULT hr = steps.drainFirst ? buffer.FlushRead() : S_OK;
    if (Succeeded(hr) && steps.write) hr = WriteFormatted(&buffer, enumFormatter_, writeFormat, args);
    if (Succeeded(hr) && steps.completeWrite) hr = buffer.FlushWrite(true);
    // A command that did not go out whole must not become the start of the next one.
    if (Failed(hr) && steps.completeWrite) buffer.DiscardWrite();
    if (Succeeded(hr) && steps.read) {
      hr = ReadFormatted(&buffer, enumFormatter_, reporter_, readFormat, args);
      // What the format could not read must not become the start of the
      // next response. A transfer that failed has abandoned the response
      // already; otherwise the rest of it is read away, up to its end.
      // When that drain fails as well (the response is then abandoned), the
      // call still fails for the reply it could not read, and the stored
      // description stays the one of that status.
      if (Failed(hr) && steps.completeRead && !responseAbandoned_) {
        const ErrorInfo* stored = PeekErrorInfo();
        std::optional<ErrorInfo> readFailure;
        if (stored) readFailure = *stored;
        if (Failed(buffer.FlushRead())) {
          AbandonResponse();
          if (readFailure) SetErrorInfo(std::move(*readFailure));
        }
      }
    }
    if (Succeeded(hr) && steps.completeRead) hr = buffer.FlushRead();
    return steps.poll ? PollAfter(hr) : hr;
  });
}

HRESULT CIoSession::ReadUpTo(std::int32_t count, std::int32_t timeout, std::vector<std::uint8_t>& received) {
  received.clear();
  if (count < 0) return E_INVALIDARG;
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  TimeoutScope scope(*this, timeout);
  if (Failed(scope.Status())) return scope.Status();
  HRESULT hr = S_MORE_DATA_AVAILABLE;
  try {
    while (hr == S_MORE_DATA_AVAILABLE && received.size() < static_cast<std::size_t>(count)) {
      const std::size_t start = received.size();
      const std::int32_t piece = std::min<std::int32_t>(kRawPiece, count - static_cast<std::int32_t>(start));
      const std::optional<std::int32_t> left = buffer_->TransferTimeout();
      if (!left) {
        AbandonResponse();
        return buffer_->ReportCallTimeout();
      }
      received.resize(start + static_cast<std::size_t>(piece));
      std::int32_t actual = 0;
      hr = LowLevelReadNoPoll(received.data() + start, piece, &actual, *left);
      received.resize(start + static_cast<std::size_t>(std::clamp(actual, 0, piece)));
    }
  } catch (const std::bad_alloc&) {
    return ReportIoError(reporter_, IoFailure::ReadCopy);
  }
  return hr;
}

HRESULT CIoSession::LowLevelReadStringNoPoll(BSTR* text, std::int32_t count, std::int32_t timeout) {
  if (!text) return ReportNullPointer("LowLevelReadStringNoPoll", "pbstrBuf");
  *text = nullptr;
  std::vector<std::uint8_t> received;
  const HRESULT hr = ReadUpTo(count, timeout, received);
  if (Failed(hr)) return hr;
  const std::wstring wide = Utf8ToWide({reinterpret_cast<const char*>(received.data()), received.size()});
  *text = SysAllocStringLen(wide.data(), static_cast<std::uint32_t>(wide.size()));
  return *text ? hr : ReportIoError(reporter_, IoFailure::ReadCopy);
}

HRESULT CIoSession::LowLevelReadBytesNoPoll(SAFEARRAY** bytes, std::int32_t count, std::int32_t timeout) {
  if (!bytes) return ReportNullPointer("LowLevelReadBytesNoPoll", "ppsaBuf");
  *bytes = nullptr;
  std::vector<std::uint8_t> received;
  const HRESULT hr = ReadUpTo(count, timeout, received);
  if (Failed(hr)) return hr;
  SafeArrayPtr array(SafeArrayCreateVector(VT_UI1, 0, static_cast<std::uint32_t>(received.size())));
  if (!array) return ReportIoError(reporter_, IoFailure::ReadCopy);
  std::copy(received.begin(), received.end(), static_cast<std::uint8_t*>(array->pvData));
  *bytes = array.release();
  return hr;
}

HRESULT CIoSession::LowLevelWriteBytesNoPoll(const SAFEARRAY* bytes, std::int32_t* written, std::int32_t timeout) {
  if (!written) return ReportNullPointer("LowLevelWriteBytesNoPoll", "plRetCount");
  *written = 0;
  if (HRESULT hr = CheckByteArray(reporter_, bytes); Failed(hr)) return hr;
  const std::uint32_t length = SafeArrayLength(bytes);
  if (length > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    return ReportIoError(reporter_, IoFailure::ByteArrayCopy);
  }
  return LowLevelWriteNoPoll(static_cast<const std::uint8_t*>(bytes->pvData), static_cast<std::int32_t>(length),
                             written, timeout);
}

HRESULT CIoSession::LowLevelWriteStringNoPoll(std::wstring_view text, std::int32_t* written, std::int32_t timeout) {
  if (!written) return ReportNullPointer("LowLevelWriteStringNoPoll", "plRetCount");
  *written = 0;
  std::string narrow;
  try {
    narrow = WideToUtf8(text);
  } catch (const std::bad_alloc&) {
    return ReportIoError(reporter_, IoFailure::ByteArrayAllocate);
  }
  if (narrow.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    return ReportIoError(reporter_, IoFailure::ByteArrayCopy);
  }
  return LowLevelWriteNoPoll(reinterpret_cast<const std::uint8_t*>(narrow.data()),
                             static_cast<std::int32_t>(narrow.size()), written, timeout);
}

}  // namespace hvzelta
