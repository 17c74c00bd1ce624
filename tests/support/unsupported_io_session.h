#pragma once

// An I/O session whose every operation fails with E_NOTIMPL: tests derive
// from it and script only the operations their case needs. Formatted
// exchanges (Printf, Scanf, Queryf and the typed conveniences) run over the
// text operations, so a session scripted line by line answers them too: the
// command is formatted into text and written, the reply read as text and
// parsed with the read engine; the polling text operations stand for the
// poll.

#include <mutex>

#include "fmtio/format_reader.h"
#include "fmtio/formatted_io.h"
#include "io/io_session.h"

namespace hvzelta::testing {

class UnsupportedIoSession : public IIoSession {
 public:
  HRESULT Open(std::string_view, IInstrErrorPoller*, IErrorReporter*, IEnumFormatter*) override { return E_NOTIMPL; }
  HRESULT Close() override { return S_OK; }
  std::recursive_mutex& ExchangeLock() override { return exchange_; }
  IVisaSession* Visa() override { return nullptr; }
  HRESULT ReadStatusByte(std::int16_t*) override { return E_NOTIMPL; }
  HRESULT DeviceClear() override { return E_NOTIMPL; }
  HRESULT Lock(std::int32_t, std::int32_t, std::string_view, std::string*) override { return E_NOTIMPL; }
  HRESULT Unlock() override { return E_NOTIMPL; }
  HRESULT PollInstrumentErrors() override { return E_NOTIMPL; }
  HRESULT GetReadTerminator(std::string*) override { return E_NOTIMPL; }
  HRESULT SetReadTerminator(std::string_view) override { return E_NOTIMPL; }
  HRESULT GetWriteTerminator(std::string*) override { return E_NOTIMPL; }
  HRESULT SetWriteTerminator(std::string_view) override { return E_NOTIMPL; }
  HRESULT GetInstrumentBigEndian(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT SetInstrumentBigEndian(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT GetTimeout(std::int32_t*) override { return E_NOTIMPL; }
  HRESULT SetTimeout(std::int32_t) override { return E_NOTIMPL; }
  HRESULT GetTerminationCharacter(std::uint8_t*) override { return E_NOTIMPL; }
  HRESULT SetTerminationCharacter(std::uint8_t) override { return E_NOTIMPL; }
  HRESULT SetBufferSize(BufferSelect, std::int32_t) override { return E_NOTIMPL; }
  HRESULT GetReadBufferSize(std::int32_t*) override { return E_NOTIMPL; }
  HRESULT GetWriteBufferSize(std::int32_t*) override { return E_NOTIMPL; }
  HRESULT FlushWrite(bool, std::int32_t) override { return E_NOTIMPL; }
  HRESULT FlushRead(std::int32_t) override { return E_NOTIMPL; }
  HRESULT WriteString(std::string_view, bool, std::int32_t) override { return E_NOTIMPL; }
  HRESULT WriteStringNoPoll(std::string_view, bool, std::int32_t) override { return E_NOTIMPL; }
  HRESULT ReadString(std::string&, std::int32_t) override { return E_NOTIMPL; }
  HRESULT ReadStringNoPoll(std::string&, std::int32_t) override { return E_NOTIMPL; }

  HRESULT Exchange(const ExchangeSteps& steps, std::string_view writeFormat, std::string_view readFormat,
                   FormatArgs& args, std::int32_t timeout) override {
    std::lock_guard exchange(exchange_);
    HRESULT hr = S_OK;
    if (steps.write) {
      std::string command;
      CFormattedIo::CCStringWriter writer(command);
      hr = WriteFormatted(&writer, nullptr, writeFormat, args);
      if (Succeeded(hr)) {
        hr = steps.poll && !steps.read ? WriteString(command, steps.completeWrite, timeout)
                                       : WriteStringNoPoll(command, steps.completeWrite, timeout);
      }
    }
    if (Succeeded(hr) && steps.read) {
      std::string reply;
      hr = steps.poll ? ReadString(reply, timeout) : ReadStringNoPoll(reply, timeout);
      if (Succeeded(hr)) hr = ParseReply(reply, readFormat, args);
    }
    return hr;
  }

  HRESULT SetTerminationCharacterEnabled(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT GetTerminationCharacterEnabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT SetSendEndEnabled(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT GetSendEndEnabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT LowLevelReadNoPoll(std::uint8_t*, std::int32_t, std::int32_t*, std::int32_t) override { return E_NOTIMPL; }
  HRESULT LowLevelReadStringNoPoll(BSTR*, std::int32_t, std::int32_t) override { return E_NOTIMPL; }
  HRESULT LowLevelWriteNoPoll(const std::uint8_t*, std::int32_t, std::int32_t*, std::int32_t) override {
    return E_NOTIMPL;
  }
  HRESULT LowLevelReadBytesNoPoll(SAFEARRAY**, std::int32_t, std::int32_t) override { return E_NOTIMPL; }
  HRESULT LowLevelWriteBytesNoPoll(const SAFEARRAY*, std::int32_t*, std::int32_t) override { return E_NOTIMPL; }
  HRESULT LowLevelWriteStringNoPoll(std::wstring_view, std::int32_t*, std::int32_t) override { return E_NOTIMPL; }

  HRESULT DirectReadBytes(std::vector<std::uint8_t>&) override { return E_NOTIMPL; }
  HRESULT DirectReadString(std::string&) override { return E_NOTIMPL; }
  HRESULT DirectWriteBytes(std::span<const std::uint8_t>, std::size_t&) override { return E_NOTIMPL; }
  HRESULT DirectWriteString(std::string_view) override { return E_NOTIMPL; }

 private:
  static HRESULT ParseReply(std::string_view reply, std::string_view format, FormatArgs& args) {
    CFormattedIo::CCStringReader reader(reply);
    return ReadFormatted(&reader, nullptr, nullptr, format, args);
  }

  std::recursive_mutex exchange_;
};

}  // namespace hvzelta::testing
