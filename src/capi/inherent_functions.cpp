// Sessions and the functions every IVI-C driver has: open and close, reset,
// self test, error query and messages, revisions, the session's error and
// lock, and the operation functions.

#include "capi/c_frame.h"
#include "hvzelta.h"
#include "hvzelta/halvorn_zelta.h"
#include "platform/ivi_session.h"

namespace hvzelta::capi {
namespace {

// The fixed message buffers of the inherent functions.
constexpr ViInt32 kMessageBufferSize = 256;

constexpr ViStatus kNoDriver = static_cast<ViStatus>(_VI_ERROR);

// A failed Initialize stores its description for the calling thread (there
// is no session yet) and destroys the driver object with the last reference.
ViStatus OpenSession(ViConstRsrc resourceName, ViBoolean idQuery, ViBoolean reset, ViConstString optionString,
                     ViSession* newVi) {
  if (Failed(EnsureThreadCom())) return kNoDriver;
  ComPtr<IUnknown> driver;
  if (Failed(CreateHalvornZelta(IID_IUnknown, reinterpret_cast<void**>(driver.Out()))) || !driver) return kNoDriver;
  ComPtr<IIviDriver> ivi;
  if (const HRESULT hr = driver.As(ivi); Failed(hr)) return ConvertDriverStatus(VI_NULL, hr);
  const Bstr resource(resourceName ? Bstr(Utf8ToWide(resourceName)) : Bstr());
  const Bstr options = TextToBstr(optionString);
  const HRESULT initialized = ivi->Initialize(resource.Get(), idQuery ? VARIANT_TRUE : VARIANT_FALSE,
                                              reset ? VARIANT_TRUE : VARIANT_FALSE, options.Get());
  if (Failed(initialized)) return ConvertDriverStatus(VI_NULL, initialized);
  if (const ViStatus status = RegisterSession(driver.Get(), newVi)) return status;
  // A warning of Initialize reaches the caller with its text in the new session.
  return ConvertDriverStatus(*newVi, initialized);
}

ViStatus CloseSession(ViSession vi) {
  ComPtr<IUnknown> driver;
  if (const ViStatus status = BeginClose(vi, driver)) return status;
  ComPtr<IIviDriver> ivi;
  HRESULT hr = driver.As(ivi);
  if (Succeeded(hr)) hr = ivi->Close();
  const ViStatus closed = ConvertDriverStatus(vi, hr);
  const ViStatus unregistered = UnregisterSession(vi);
  return closed ? closed : unregistered;
}

// A text in a fixed message buffer together with a number, such as the
// self-test result with its message.
template <class Number, class CNumber, class Call>
ViStatus GetNumberAndMessage(ViSession vi, CNumber* number, const char* parameter, ViChar* message, Call&& call) {
  if (!number) return ReportNullParameter(vi, parameter);
  Number raw{};
  Bstr text;
  const ViStatus status =
      CallDriver<IIviDriverUtility>(vi, [&](IIviDriverUtility& utility) { return call(utility, &raw, text.Out()); });
  if (status < 0) return status;
  *number = static_cast<CNumber>(raw);
  const ViStatus copied = CopyStringOut(WideToUtf8(text.View()), message, kMessageBufferSize);
  return status != VI_SUCCESS ? status : copied;
}

template <class Interface, class Member>
ViStatus CallMember(ViSession vi, Member member) {
  return Guarded(vi, [&] { return CallDriver<Interface>(vi, [&](Interface& object) { return (object.*member)(); }); });
}

template <class Member>
ViStatus GetOperationText(ViSession vi, ViInt32 bufferSize, ViChar* text, Member member) {
  return Guarded(vi, [&] { return GetTextProperty<Root<IIviDriverOperation>>(vi, nullptr, bufferSize, text, member); });
}

}  // namespace
}  // namespace hvzelta::capi

using namespace hvzelta;
using namespace hvzelta::capi;

ViStatus hvzelta_init(ViConstRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset, ViSession* newVi) {
  return hvzelta_InitWithOptions(ResourceName, IdQuery, Reset, "", newVi);
}

ViStatus hvzelta_InitWithOptions(ViConstRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset,
                                 ViConstString OptionString, ViSession* newVi) {
  if (!newVi) return HVZELTA_ERROR_NULL_POINTER;
  *newVi = VI_NULL;
  return Guarded(VI_NULL, [&] { return OpenSession(ResourceName, IdQuery, Reset, OptionString, newVi); });
}

ViStatus hvzelta_close(ViSession vi) {
  return Guarded(vi, [&] { return CloseSession(vi); });
}

ViStatus hvzelta_reset(ViSession vi) { return CallMember<IIviDriverUtility>(vi, &IIviDriverUtility::Reset); }

ViStatus hvzelta_ResetWithDefaults(ViSession vi) {
  return CallMember<IIviDriverUtility>(vi, &IIviDriverUtility::ResetWithDefaults);
}

ViStatus hvzelta_Disable(ViSession vi) { return CallMember<IIviDriverUtility>(vi, &IIviDriverUtility::Disable); }

ViStatus hvzelta_self_test(ViSession vi, ViInt16* TestResult, ViChar TestMessage[]) {
  return Guarded(vi, [&] {
    return GetNumberAndMessage<std::int32_t>(vi, TestResult, "TestResult", TestMessage,
                                             [](IIviDriverUtility& utility, std::int32_t* result, BSTR* message) {
                                               return utility.SelfTest(result, message);
                                             });
  });
}

ViStatus hvzelta_error_query(ViSession vi, ViInt32* ErrorCode, ViChar ErrorMessage[]) {
  return Guarded(vi, [&] {
    return GetNumberAndMessage<std::int32_t>(vi, ErrorCode, "ErrorCode", ErrorMessage,
                                             [](IIviDriverUtility& utility, std::int32_t* code, BSTR* message) {
                                               return utility.ErrorQuery(code, message);
                                             });
  });
}

ViStatus hvzelta_revision_query(ViSession vi, ViChar DriverRev[], ViChar InstrRev[]) {
  return Guarded(vi, [&] {
    using Identity = Root<IIviDriverIdentity>;
    const ViStatus driver =
        GetTextProperty<Identity>(vi, nullptr, kMessageBufferSize, DriverRev, &IIviDriverIdentity::get_Revision);
    if (driver < 0) return driver;
    return GetTextProperty<Identity>(vi, nullptr, kMessageBufferSize, InstrRev,
                                     &IIviDriverIdentity::get_InstrumentFirmwareRevision);
  });
}

ViStatus hvzelta_error_message(ViSession, ViStatus ErrorCode, ViChar ErrorMessage[]) {
  return CopyStringOut(CMessageText(ErrorCode), ErrorMessage, kMessageBufferSize);
}

ViStatus hvzelta_GetError(ViSession vi, ViStatus* ErrorCode, ViInt32 BufferSize, ViChar Description[]) {
  return IviSession_GetError(vi, BufferSize, ErrorCode, Description);
}

ViStatus hvzelta_ClearError(ViSession vi) { return IviSession_ClearError(vi); }

ViStatus hvzelta_LockSession(ViSession vi, ViBoolean* CallerHasLock) { return LockSession(vi, CallerHasLock); }

ViStatus hvzelta_UnlockSession(ViSession vi, ViBoolean* CallerHasLock) { return IviSession_Unlock(vi, CallerHasLock); }

ViStatus hvzelta_InvalidateAllAttributes(ViSession vi) {
  return CallMember<IIviDriverOperation>(vi, &IIviDriverOperation::InvalidateAllAttributes);
}

ViStatus hvzelta_ClearInterchangeWarnings(ViSession vi) {
  return CallMember<IIviDriverOperation>(vi, &IIviDriverOperation::ClearInterchangeWarnings);
}

ViStatus hvzelta_ResetInterchangeCheck(ViSession vi) {
  return CallMember<IIviDriverOperation>(vi, &IIviDriverOperation::ResetInterchangeCheck);
}

ViStatus hvzelta_GetNextCoercionRecord(ViSession vi, ViInt32 BufferSize, ViChar Record[]) {
  return GetOperationText(vi, BufferSize, Record, &IIviDriverOperation::GetNextCoercionRecord);
}

ViStatus hvzelta_GetNextInterchangeWarning(ViSession vi, ViInt32 BufferSize, ViChar Warning[]) {
  return GetOperationText(vi, BufferSize, Warning, &IIviDriverOperation::GetNextInterchangeWarning);
}
