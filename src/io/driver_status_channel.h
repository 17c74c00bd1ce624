#pragma once

// The raw channel as the instrument buffer sees it: the session's raw
// operations, whose library failures come back with the library's own
// status, turned into the driver's I/O errors (AsDriverIoStatus). The
// formatted and typed operations thus report I/O failures with the driver's
// codes, while raw callers get the library's.

#include "fmtio/io_error.h"
#include "io/low_level_io.h"

namespace hvzelta {

class DriverStatusChannel final : public ILowLevelIo {
 public:
  explicit DriverStatusChannel(ILowLevelIo& raw) : raw_(raw) {}

  HRESULT SetTerminationCharacterEnabled(VARIANT_BOOL enabled) override {
    return AsDriverIoStatus(raw_.SetTerminationCharacterEnabled(enabled));
  }
  HRESULT GetTerminationCharacterEnabled(VARIANT_BOOL* enabled) override {
    return AsDriverIoStatus(raw_.GetTerminationCharacterEnabled(enabled));
  }
  HRESULT SetSendEndEnabled(VARIANT_BOOL enabled) override { return AsDriverIoStatus(raw_.SetSendEndEnabled(enabled)); }
  HRESULT GetSendEndEnabled(VARIANT_BOOL* enabled) override {
    return AsDriverIoStatus(raw_.GetSendEndEnabled(enabled));
  }
  HRESULT LowLevelReadNoPoll(std::uint8_t* buffer, std::int32_t count, std::int32_t* actual,
                             std::int32_t timeoutMs) override {
    return AsDriverIoStatus(raw_.LowLevelReadNoPoll(buffer, count, actual, timeoutMs));
  }
  HRESULT LowLevelReadStringNoPoll(BSTR* text, std::int32_t count, std::int32_t timeoutMs) override {
    return AsDriverIoStatus(raw_.LowLevelReadStringNoPoll(text, count, timeoutMs));
  }
  HRESULT LowLevelWriteNoPoll(const std::uint8_t* buffer, std::int32_t count, std::int32_t* written,
                              std::int32_t timeoutMs) override {
    return AsDriverIoStatus(raw_.LowLevelWriteNoPoll(buffer, count, written, timeoutMs));
  }

 private:
  ILowLevelIo& raw_;
};

}  // namespace hvzelta
