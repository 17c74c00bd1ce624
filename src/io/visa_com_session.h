#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "io/io_session_base.h"
#include "io/visa_session.h"
#include "visa/visa_library.h"

namespace hvzelta {

// A library attribute behind a getter and a setter of the session
// (visa_com_session.cpp).
template <class Library, class Ours>
struct SessionAttribute;

// The session over a VISA library: the built-in one or an installed one. It
// opens the resource, configures message termination the way the resource's
// kind needs, and turns every failure of the library into the driver's I/O
// messages with the library's own description.
class CVisaComSession final : public CIoSession, public IVisaSession {
 public:
  static constexpr visa::ViUInt32 kOpenTimeoutMs = 2000;
  // A response that has not ended after this many bytes is given up on, so
  // that a device that never ends its message cannot make a read or a drain
  // run forever or fill memory.
  static constexpr std::size_t kDefaultMaxResponseBytes = std::size_t{64} << 20;

  explicit CVisaComSession(std::shared_ptr<visa::IVisaLibrary> library,
                           std::size_t maxResponseBytes = kDefaultMaxResponseBytes)
      : visa_(std::move(library)), maxResponseBytes_(maxResponseBytes) {}
  ~CVisaComSession() override;

  IVisaSession* Visa() override { return this; }
  // Closes the library session under the transfer in progress; the library
  // ends that transfer at once.
  void Abort() override;

  HRESULT ReadStatusByte(std::int16_t* psStatusByte) override;
  HRESULT Lock(std::int32_t mode, std::int32_t timeout, std::string_view requestedKey,
               std::string* grantedKey) override;
  HRESULT Unlock() override;
  HRESULT GetTimeout(std::int32_t* plTimeout) override;
  HRESULT SetTimeout(std::int32_t milliseconds) override;
  using IIoSession::GetTimeout;
  HRESULT GetTerminationCharacter(std::uint8_t* pcTermChar) override;
  HRESULT SetTerminationCharacter(std::uint8_t character) override;

  HRESULT SetTerminationCharacterEnabled(VARIANT_BOOL enabled) override;
  HRESULT GetTerminationCharacterEnabled(VARIANT_BOOL* pbEnabled) override;
  HRESULT SetSendEndEnabled(VARIANT_BOOL enabled) override;
  HRESULT GetSendEndEnabled(VARIANT_BOOL* pbEnabled) override;
  HRESULT LowLevelReadNoPoll(std::uint8_t* buffer, std::int32_t count, std::int32_t* actual,
                             std::int32_t timeout) override;
  HRESULT LowLevelWriteNoPoll(const std::uint8_t* buffer, std::int32_t count, std::int32_t* written,
                              std::int32_t timeout) override;

  HRESULT DirectReadBytes(std::vector<std::uint8_t>& bytes) override;
  HRESULT DirectReadString(std::string& text) override;
  HRESULT DirectWriteBytes(std::span<const std::uint8_t> bytes, std::size_t& written) override;
  HRESULT DirectWriteString(std::string_view text) override;

  // IVisaSession (visa_session_info.cpp).
  HRESULT GetResourceName(std::string* pbstrResourceName) override;
  HRESULT GetResourceClass(std::string* pbstrResourceClass) override;
  HRESULT GetInterfaceType(VisaInterfaceType* peType) override;
  HRESULT GetProtocol(VisaIoProtocol* peProtocol) override;
  HRESULT GetInterfaceNumber(std::int16_t* psInterfaceNumber) override;
  HRESULT GetManufacturerId(std::int16_t* psManufacturerId) override;
  HRESULT GetModelCode(std::int16_t* psModelCode) override;
  HRESULT GetAttribute(std::uint32_t attribute, std::uint8_t* value) override;
  HRESULT GetAttribute(std::uint32_t attribute, std::uint16_t* value) override;
  HRESULT GetAttribute(std::uint32_t attribute, std::uint32_t* value) override;
  HRESULT GetAttribute(std::uint32_t attribute, std::uint64_t* value) override;
  HRESULT GetAttribute(std::uint32_t attribute, VARIANT_BOOL* value) override;
  HRESULT GetAttribute(std::uint32_t attribute, std::string* value) override;
  HRESULT SetAttribute(std::uint32_t attribute, std::uint64_t value) override;
  // visa_operations.cpp.
  HRESULT CheckOperation(VisaOperation operation) override;
  HRESULT CheckRegisterOperation(VisaOperation operation, VisaAddressSpace space, VisaDataWidth width) override;
  HRESULT AssertTrigger(VisaTriggerProtocol protocol) override;
  HRESULT EnableEvent(VisaEventType type, VisaEventMechanism mechanism) override;
  HRESULT DisableEvent(VisaEventType type, VisaEventMechanism mechanism) override;
  HRESULT DiscardEvents(VisaEventType type, VisaEventMechanism mechanism) override;
  HRESULT WaitOnEvent(VisaEventType type, std::int32_t timeoutMs, VisaEventType* received) override;

 protected:
  HRESULT OpenDevice(std::string_view resourceName) override;
  HRESULT CloseDevice() override;
  HRESULT ClearDevice() override;

 private:
  // An attribute as the library holds it: text, or a number of at most 64 bits.
  struct AttributeValue {
    bool text = false;
    visa::ViAttrState number = 0;
    std::string characters;
  };

  // The library's own description of a failed call's status.
  std::string Describe(visa::ViStatus status);
  // The driver's I/O error (or I/O timeout error) for a failed library call.
  HRESULT Fail(visa::ViStatus status);
  // A failed raw transfer or attribute access: its description is recorded
  // as Fail records it, and the library's own status comes back unchanged.
  HRESULT PassOn(visa::ViStatus status);
  // The same for a read or a write: the exchange it belonged to is given up.
  HRESULT FailTransfer(visa::ViStatus status);
  HRESULT ConfigureAfterOpen();
  template <class Library, class Ours>
  HRESULT GetSessionAttribute(const SessionAttribute<Library, Ours>& attribute, Ours* value);
  template <class Library, class Ours>
  HRESULT SetSessionAttribute(const SessionAttribute<Library, Ours>& attribute, Ours value);
  HRESULT ReadAttribute(visa::ViAttr attribute, AttributeValue& value);
  template <class T>
  HRESULT GetConverted(visa::ViAttr attribute, T* value, std::string_view method, std::string_view parameter);
  // The 16-bit identity values, which VISA keeps unsigned and the framework signed.
  HRESULT GetShort(visa::ViAttr attribute, std::int16_t* value, std::string_view method, std::string_view parameter);
  HRESULT ReportConversion(visa::ViAttr attribute, std::string_view target);
  // Reads raw bytes until the device ends its message.
  HRESULT ReadWholeMessage(std::string& message);
  // Enable, disable or discard, through `call` of the library.
  HRESULT EventCall(VisaEventType type, VisaEventMechanism mechanism,
                    visa::ViStatus (visa::IVisaLibrary::*call)(visa::ViSession, visa::ViEventType, visa::ViUInt16));

  std::shared_ptr<visa::IVisaLibrary> visa_;
  const std::size_t maxResponseBytes_;
  visa::ViSession resourceManager_ = visa::VI_NULL;
  // Written under the exchange lock, and by Abort without it.
  std::atomic<visa::ViSession> session_{visa::VI_NULL};
  // Bytes of the current response read so far without its end.
  std::size_t unendedBytes_ = 0;
};

}  // namespace hvzelta
