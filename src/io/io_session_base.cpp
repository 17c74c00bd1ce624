#include "io/io_session_base.h"

#include <limits>

#include "core/error_reporter.h"
#include "fmtio/format_reader.h"
#include "fmtio/format_writer.h"
#include "io/instr_error_poller.h"
#include "io/io_error.h"

namespace hvzelta {

CIoSession::TimeoutScope::TimeoutScope(CIoSession& session, std::int32_t timeout) : session_(session) {
  if (timeout == kKeepTimeout) return;
  status_ = session_.GetTimeout(saved_);
  if (Succeeded(status_)) status_ = session_.SetTimeout(timeout);
  restore_ = Succeeded(status_);
}

CIoSession::TimeoutScope::~TimeoutScope() {
  if (restore_) session_.SetTimeout(saved_);
}

HRESULT CIoSession::Open(std::string_view resourceName, IInstrErrorPoller* errorPoller, IErrorReporter* reporter,
                         IEnumFormatter* enumFormatter) {
  if (!errorPoller || !reporter || !enumFormatter) return E_POINTER;
  std::lock_guard exchange(exchange_);
  if (buffer_) Close();
  errorPoller_ = errorPoller;
  reporter_ = reporter;
  enumFormatter_ = enumFormatter;
  buffer_ = std::make_unique<CInstrBuffer>(*this, *reporter, readTerminator_, writeTerminator_);
  if (!buffer_->IsValid()) {
    buffer_.reset();
    return ReportOutOfMemory(reporter, "Failed to create the formatted I/O read and write buffers.");
  }
  const HRESULT hr = OpenDevice(resourceName);
  if (Failed(hr)) buffer_.reset();
  return hr;
}

HRESULT CIoSession::Close() {
  std::lock_guard exchange(exchange_);
  buffer_.reset();
  return CloseDevice();
}

HRESULT CIoSession::ReportNotOpen() const {
  return reporter_ ? reporter_->Report(Message::NotInitialized) : E_IVI_NOT_INITIALIZED;
}

HRESULT CIoSession::Poll() { return errorPoller_ ? errorPoller_->PollInstrumentErrors() : S_OK; }

HRESULT CIoSession::WriteStringNoPoll(std::string_view text, bool flushWithEnd, std::int32_t timeout) {
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  TimeoutScope scope(*this, timeout);
  if (Failed(scope.Status())) return scope.Status();
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    return ReportIoError(reporter_, "The text to write is longer than 2 GiB.");
  }
  std::int32_t written = 0;
  return buffer_->Write(text.data(), static_cast<std::int32_t>(text.size()), &written, flushWithEnd);
}

HRESULT CIoSession::WriteString(std::string_view text, bool flushWithEnd, std::int32_t timeout) {
  std::lock_guard exchange(exchange_);
  const HRESULT hr = WriteStringNoPoll(text, flushWithEnd, timeout);
  return Failed(hr) || !flushWithEnd ? hr : Poll();
}

HRESULT CIoSession::ReadRestOfResponse(std::string& text) {
  text.clear();
  char chunk[4096];
  for (;;) {
    std::int32_t actual = 0;
    const HRESULT hr = buffer_->Read(chunk, sizeof chunk, &actual, false);
    if (Failed(hr)) return hr;
    text.append(chunk, static_cast<std::size_t>(actual));
    if (hr != S_MORE_DATA_AVAILABLE) return S_OK;
    if (text.size() > kMaxResponseBytes) {
      buffer_->FlushRead();
      return ReportIoError(reporter_, "The instrument's response is longer than 64 MiB; it was discarded.");
    }
  }
}

HRESULT CIoSession::ReadStringNoPoll(std::string& text, std::int32_t timeout) {
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  TimeoutScope scope(*this, timeout);
  if (Failed(scope.Status())) return scope.Status();
  return ReadRestOfResponse(text);
}

HRESULT CIoSession::ReadString(std::string& text, std::int32_t timeout) {
  std::lock_guard exchange(exchange_);
  const HRESULT hr = ReadStringNoPoll(text, timeout);
  return Failed(hr) ? hr : Poll();
}

HRESULT CIoSession::PrintfNoFlush(std::string_view format, FormatArgs& args, std::int32_t timeout) {
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  TimeoutScope scope(*this, timeout);
  if (Failed(scope.Status())) return scope.Status();
  return WriteFormatted(buffer_.get(), enumFormatter_, format, args);
}

HRESULT CIoSession::FlushWrite(bool sendEnd, std::int32_t timeout) {
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  TimeoutScope scope(*this, timeout);
  if (Failed(scope.Status())) return scope.Status();
  return buffer_->FlushWrite(sendEnd);
}

HRESULT CIoSession::Scanf(std::string_view format, FormatArgs& args, std::int32_t timeout) {
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  HRESULT hr = S_OK;
  {
    TimeoutScope scope(*this, timeout);
    if (Failed(scope.Status())) return scope.Status();
    hr = ReadFormatted(buffer_.get(), enumFormatter_, reporter_, format, args);
    if (Failed(hr)) return hr;
    // What the format left of the response belongs to no one.
    hr = buffer_->FlushRead();
    if (Failed(hr)) return hr;
  }
  return Poll();
}

HRESULT CIoSession::QueryReal(std::string_view command, double& value, std::int32_t timeout) {
  std::lock_guard exchange(exchange_);
  if (!IsOpen()) return ReportNotOpen();
  {
    TimeoutScope scope(*this, timeout);
    if (Failed(scope.Status())) return scope.Status();
    HRESULT hr = buffer_->FlushRead();
    std::int32_t written = 0;
    if (Succeeded(hr)) hr = buffer_->Write(command.data(), static_cast<std::int32_t>(command.size()), &written, true);
    if (Failed(hr)) return hr;
    auto packed = PackFormatArgs(&value);
    FormatArgs args(packed);
    hr = ReadFormatted(buffer_.get(), enumFormatter_, reporter_, "%lf", args);
    if (Succeeded(hr)) hr = buffer_->FlushRead();
    if (Failed(hr)) return hr;
  }
  return Poll();
}

}  // namespace hvzelta
