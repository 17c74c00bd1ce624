#pragma once

#include <memory>

#include "io/io_session_base.h"
#include "visa/visa_library.h"

namespace hvzelta {

// The session over a VISA library: the built-in one or an installed one. It
// opens the resource, configures message termination the way the resource's
// kind needs, and turns every failure of the library into the driver's I/O
// messages with the library's own description.
class CVisaComSession final : public CIoSession {
 public:
  static constexpr visa::ViUInt32 kOpenTimeoutMs = 2000;

  explicit CVisaComSession(std::shared_ptr<visa::IVisaLibrary> library) : visa_(std::move(library)) {}
  ~CVisaComSession() override;

  HRESULT DeviceClear() override;
  HRESULT GetTimeout(std::int32_t& milliseconds) override;
  HRESULT SetTimeout(std::int32_t milliseconds) override;
  HRESULT DirectReadBytes(std::vector<std::uint8_t>& bytes) override;
  HRESULT DirectReadString(std::string& text) override;
  HRESULT DirectWriteBytes(std::span<const std::uint8_t> bytes, std::size_t& written) override;
  HRESULT DirectWriteString(std::string_view text) override;

  HRESULT SetTerminationCharacterEnabled(VARIANT_BOOL enabled) override;
  HRESULT GetTerminationCharacterEnabled(VARIANT_BOOL* enabled) override;
  HRESULT SetSendEndEnabled(VARIANT_BOOL enabled) override;
  HRESULT GetSendEndEnabled(VARIANT_BOOL* enabled) override;
  HRESULT LowLevelReadNoPoll(std::uint8_t* buffer, std::int32_t count, std::int32_t* actual,
                             std::int32_t timeoutMs) override;
  HRESULT LowLevelReadStringNoPoll(BSTR* text, std::int32_t count, std::int32_t timeoutMs) override;
  HRESULT LowLevelWriteNoPoll(const std::uint8_t* buffer, std::int32_t count, std::int32_t* written,
                              std::int32_t timeoutMs) override;

 protected:
  HRESULT OpenDevice(std::string_view resourceName) override;
  HRESULT CloseDevice() override;

 private:
  // The driver's I/O error (or I/O timeout error) for a failed library call.
  HRESULT Fail(visa::ViStatus status);
  HRESULT ConfigureAfterOpen();
  HRESULT SetFlag(visa::ViAttr attribute, VARIANT_BOOL enabled);
  HRESULT GetFlag(visa::ViAttr attribute, VARIANT_BOOL* enabled);
  // Reads raw bytes until the device ends its message.
  HRESULT ReadWholeMessage(std::string& message);
  // After a read timed out, the late reply must not answer the next query.
  HRESULT ClearStaleReply();

  std::shared_ptr<visa::IVisaLibrary> visa_;
  visa::ViSession resourceManager_ = visa::VI_NULL;
  visa::ViSession session_ = visa::VI_NULL;
  bool staleReplyPossible_ = false;
};

}  // namespace hvzelta
