#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "io/instr_buffer.h"
#include "io/io_session.h"
#include "io/low_level_io.h"

namespace hvzelta {

// What every kind of session shares: the instrument buffer over the raw
// channel, the terminators, the formatted and typed operations, the timeout
// rule and the instrument status poll. A concrete session supplies the raw
// channel (ILowLevelIo) and the device operations.
class CIoSession : public IIoSession, public ILowLevelIo {
 public:
  HRESULT Open(std::string_view resourceName, IInstrErrorPoller* errorPoller, IErrorReporter* reporter,
               IEnumFormatter* enumFormatter) override;
  HRESULT Close() override;
  std::recursive_mutex& ExchangeLock() override { return exchange_; }

  HRESULT WriteString(std::string_view text, bool flushWithEnd, std::int32_t timeout) override;
  HRESULT WriteStringNoPoll(std::string_view text, bool flushWithEnd, std::int32_t timeout) override;
  HRESULT ReadString(std::string& text, std::int32_t timeout) override;
  HRESULT ReadStringNoPoll(std::string& text, std::int32_t timeout) override;
  HRESULT PrintfNoFlush(std::string_view format, FormatArgs& args, std::int32_t timeout) override;
  HRESULT FlushWrite(bool sendEnd, std::int32_t timeout) override;
  HRESULT Scanf(std::string_view format, FormatArgs& args, std::int32_t timeout) override;
  HRESULT QueryReal(std::string_view command, double& value, std::int32_t timeout) override;

  // Longest response the text reads accept: a device that never ends its
  // message must not exhaust memory.
  static constexpr std::size_t kMaxResponseBytes = 64u << 20;

 protected:
  CIoSession() = default;
  ~CIoSession() override = default;

  // Opens the device and configures it; the buffer exists by then.
  virtual HRESULT OpenDevice(std::string_view resourceName) = 0;
  virtual HRESULT CloseDevice() = 0;

  bool IsOpen() const { return buffer_ != nullptr; }
  IErrorReporter* Reporter() const { return reporter_; }
  HRESULT ReportNotOpen() const;
  // Polls the instrument's errors through the driver.
  HRESULT Poll();
  // Reads until the device ends its message, through the buffer.
  HRESULT ReadRestOfResponse(std::string& text);

  // Applies a call's timeout for its duration (kKeepTimeout keeps it).
  class TimeoutScope {
   public:
    TimeoutScope(CIoSession& session, std::int32_t timeout);
    ~TimeoutScope();
    HRESULT Status() const { return status_; }

   private:
    CIoSession& session_;
    std::int32_t saved_ = 0;
    bool restore_ = false;
    HRESULT status_ = S_OK;
  };

  std::unique_ptr<CInstrBuffer> buffer_;

 private:
  std::recursive_mutex exchange_;
  IInstrErrorPoller* errorPoller_ = nullptr;
  IErrorReporter* reporter_ = nullptr;
  IEnumFormatter* enumFormatter_ = nullptr;
  std::string readTerminator_ = "\n";
  std::string writeTerminator_ = "\n";
};

}  // namespace hvzelta
