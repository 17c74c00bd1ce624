#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "io/driver_status_channel.h"
#include "io/instr_buffer.h"
#include "io/io_session.h"

namespace hvzelta {

// What every kind of session shares: the instrument buffer over the raw
// channel, the terminators, the formatted and typed operations, the timeout
// rule, the exchange lock and the instrument status poll. A concrete session
// supplies the raw channel (ILowLevelIo) and the device operations.
class CIoSession : public IIoSession {
 public:
  HRESULT Open(std::string_view resourceName, IInstrErrorPoller* errorPoller, IErrorReporter* reporter,
               IEnumFormatter* enumFormatter) override;
  HRESULT Close() override;
  std::recursive_mutex& ExchangeLock() override { return exchange_; }
  HRESULT DeviceClear() override;
  HRESULT PollInstrumentErrors() override;

  HRESULT GetReadTerminator(std::string* terminator) override;
  HRESULT SetReadTerminator(std::string_view terminator) override;
  HRESULT GetWriteTerminator(std::string* terminator) override;
  HRESULT SetWriteTerminator(std::string_view terminator) override;
  HRESULT GetInstrumentBigEndian(VARIANT_BOOL* bigEndian) override;
  HRESULT SetInstrumentBigEndian(VARIANT_BOOL bigEndian) override;
  HRESULT SetBufferSize(BufferSelect which, std::int32_t capacity) override;
  HRESULT GetReadBufferSize(std::int32_t* capacity) override;
  HRESULT GetWriteBufferSize(std::int32_t* capacity) override;
  HRESULT FlushWrite(bool sendEnd, std::int32_t timeout) override;
  HRESULT FlushRead(std::int32_t timeout) override;

  HRESULT WriteString(std::string_view text, bool flushWithEnd, std::int32_t timeout) override;
  HRESULT WriteStringNoPoll(std::string_view text, bool flushWithEnd, std::int32_t timeout) override;
  HRESULT ReadString(std::string& text, std::int32_t timeout) override;
  HRESULT ReadStringNoPoll(std::string& text, std::int32_t timeout) override;
  HRESULT Exchange(const ExchangeSteps& steps, std::string_view writeFormat, std::string_view readFormat,
                   FormatArgs& args, std::int32_t timeout) override;

  HRESULT LowLevelReadStringNoPoll(BSTR* text, std::int32_t count, std::int32_t timeout) override;
  std::int32_t CurrentTimeout() override;
  HRESULT LowLevelReadBytesNoPoll(SAFEARRAY** bytes, std::int32_t count, std::int32_t timeout) override;
  HRESULT LowLevelWriteBytesNoPoll(const SAFEARRAY* bytes, std::int32_t* written, std::int32_t timeout) override;
  HRESULT LowLevelWriteStringNoPoll(std::wstring_view text, std::int32_t* written, std::int32_t timeout) override;

 protected:
  CIoSession() = default;
  ~CIoSession() override = default;

  // Opens the device and configures it; the buffer exists by then.
  virtual HRESULT OpenDevice(std::string_view resourceName) = 0;
  virtual HRESULT CloseDevice() = 0;
  // The device operation without arguments: the instrument drops its input
  // and its output, as far as the transport can reach it.
  virtual HRESULT ClearDevice() = 0;

  bool IsOpen() const { return buffer_ != nullptr; }
  IErrorReporter* Reporter() const { return reporter_; }
  HRESULT ReportNotOpen() const;
  HRESULT ReportNullPointer(std::string_view method, std::string_view parameter) const;

  // A read gave up on the current response (it timed out, or it ran over the
  // response limit). The next operation drops what the buffer holds of it and
  // the late rest (a device clear) before it starts, so that no stale reply
  // answers it. Every operation that starts instrument traffic calls
  // RecoverResponse first.
  void AbandonResponse() { responseAbandoned_ = true; }
  void RecoverResponse();

  // Applies a call's timeout for its duration (kKeepTimeout keeps it), and
  // starts the clock that all the call's transfers share.
  class TimeoutScope {
   public:
    TimeoutScope(CIoSession& session, std::int32_t timeout);
    ~TimeoutScope();
    TimeoutScope(const TimeoutScope&) = delete;
    TimeoutScope& operator=(const TimeoutScope&) = delete;
    HRESULT Status() const { return status_; }

   private:
    CIoSession& session_;
    bool outermost_ = false;
    std::int32_t saved_ = 0;
    bool restore_ = false;
    HRESULT status_ = S_OK;
  };

 private:
  // The checks and the timeout every buffered operation starts with, then
  // `work` over the buffer.
  template <class Work>
  HRESULT Buffered(std::int32_t timeout, Work work);
  HRESULT WriteText(std::string_view text, bool flushWithEnd, std::int32_t timeout, Polling polling);
  // Reads until the device ends its message, through the buffer.
  HRESULT ReadText(std::string& text, std::int32_t timeout, Polling polling);
  // Polls instrument errors after a success `hr`, which it returns unless
  // the poll fails; the caller holds the exchange lock.
  HRESULT PollAfter(HRESULT hr);
  // Raw reads of at most `count` bytes, in pieces, until the device ends
  // its message or the count is reached.
  HRESULT ReadUpTo(std::int32_t count, std::int32_t timeout, std::vector<std::uint8_t>& received);

  std::recursive_mutex exchange_;
  DriverStatusChannel bufferChannel_{*this};
  std::unique_ptr<CInstrBuffer> buffer_;
  IInstrErrorPoller* errorPoller_ = nullptr;
  IErrorReporter* reporter_ = nullptr;
  IEnumFormatter* enumFormatter_ = nullptr;
  std::string readTerminator_ = "\n";
  std::string writeTerminator_ = "\n";
  bool responseAbandoned_ = false;
  bool callRunning_ = false;  // a TimeoutScope has started the call's clock
};

}  // namespace hvzelta
