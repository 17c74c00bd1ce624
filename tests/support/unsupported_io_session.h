#pragma once

// An I/O session whose every operation fails with E_NOTIMPL: tests derive
// from it and script only the operations their case needs.

#include <mutex>

#include "io/io_session.h"

namespace hvzelta::testing {

class UnsupportedIoSession : public IIoSession {
 public:
  HRESULT Open(std::string_view, IInstrErrorPoller*, IErrorReporter*, IEnumFormatter*) override { return E_NOTIMPL; }
  HRESULT Close() override { return S_OK; }
  std::recursive_mutex& ExchangeLock() override { return exchange_; }
  HRESULT DeviceClear() override { return E_NOTIMPL; }
  HRESULT WriteString(std::string_view, bool, std::int32_t) override { return E_NOTIMPL; }
  HRESULT WriteStringNoPoll(std::string_view, bool, std::int32_t) override { return E_NOTIMPL; }
  HRESULT ReadString(std::string&, std::int32_t) override { return E_NOTIMPL; }
  HRESULT ReadStringNoPoll(std::string&, std::int32_t) override { return E_NOTIMPL; }
  HRESULT PrintfNoFlush(std::string_view, FormatArgs&, std::int32_t) override { return E_NOTIMPL; }
  HRESULT FlushWrite(bool, std::int32_t) override { return E_NOTIMPL; }
  HRESULT Scanf(std::string_view, FormatArgs&, std::int32_t) override { return E_NOTIMPL; }
  HRESULT QueryReal(std::string_view, double&, std::int32_t) override { return E_NOTIMPL; }
  HRESULT GetTimeout(std::int32_t&) override { return E_NOTIMPL; }
  HRESULT SetTimeout(std::int32_t) override { return E_NOTIMPL; }
  HRESULT DirectReadBytes(std::vector<std::uint8_t>&) override { return E_NOTIMPL; }
  HRESULT DirectReadString(std::string&) override { return E_NOTIMPL; }
  HRESULT DirectWriteBytes(std::span<const std::uint8_t>, std::size_t&) override { return E_NOTIMPL; }
  HRESULT DirectWriteString(std::string_view) override { return E_NOTIMPL; }

 private:
  std::recursive_mutex exchange_;
};

}  // namespace hvzelta::testing
