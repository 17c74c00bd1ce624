// The register-based, shared-memory, asynchronous, trigger and event
// operations of VISA. Triggers and events go to the library; the VISA layer
// under the driver offers none of the others, so each one answers with the
// facility it lacks, decided by the table below.

#include <algorithm>
#include <array>
#include <string_view>

#include "base/error_reporter.h"
#include "fmtio/io_error.h"
#include "io/visa_com_session.h"

namespace hvzelta {

namespace {

enum class Facility { Register, Register64, SharedMemory, Asynchronous, MoveAsync, Events, Handlers };

struct FacilityRange {
  VisaOperation first;
  VisaOperation last;
  Facility facility;
};

using Op = VisaOperation;

constexpr std::array kFacilities{
    FacilityRange{Op::In8, Op::SetDestinationAccessPrivilege, Facility::Register},
    FacilityRange{Op::MemAlloc, Op::MemFree, Facility::SharedMemory},
    FacilityRange{Op::ReadAsync, Op::WriteAsync, Facility::Asynchronous},
    FacilityRange{Op::MoveAsync, Op::MoveAsync, Facility::MoveAsync},
    FacilityRange{Op::Terminate, Op::Terminate, Facility::Asynchronous},
    FacilityRange{Op::EnableEvent, Op::WaitOnEvent, Facility::Events},
    FacilityRange{Op::InstallHandler, Op::UninstallHandler, Facility::Handlers},
};

// Register operations on 64-bit data, which the register facility refuses
// even where it exists.
constexpr std::array k64BitOperations{Op::In64, Op::Out64, Op::MoveIn64, Op::MoveOut64, Op::Peek64, Op::Poke64};

Facility FacilityOf(VisaOperation operation) {
  if (std::find(k64BitOperations.begin(), k64BitOperations.end(), operation) != k64BitOperations.end()) {
    return Facility::Register64;
  }
  for (const FacilityRange& range : kFacilities) {
    if (operation >= range.first && operation <= range.last) return range.facility;
  }
  return Facility::Handlers;
}

std::string_view MissingFacility(Facility facility) {
  switch (facility) {
    case Facility::Register: return "The VISA-COM session does not support register-based operations.";
    case Facility::Register64: return "The VISA-COM session does not support 64-bit register-based operations.";
    case Facility::SharedMemory:
      return "The VISA-COM session does not support shared memory register-based operations.";
    case Facility::Asynchronous: return "The VISA-COM session does not support asynchronous messaging operations.";
    case Facility::MoveAsync: return "The VISA-COM session does not support the MoveAsync operation.";
    case Facility::Events:
    case Facility::Handlers:
      break;
  }
  return {};
}

}  // namespace

HRESULT CVisaComSession::CheckOperation(VisaOperation operation) {
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  const Facility facility = FacilityOf(operation);
  // Events belong to the library itself, which answers each call; a handler
  // (a callback into the caller) the session cannot pass on.
  if (facility == Facility::Events) return S_OK;
  if (facility == Facility::Handlers) return PassOn(visa::VI_ERROR_NSUP_OPER);
  return ReportIoError(Reporter(), MissingFacility(facility));
}

HRESULT CVisaComSession::CheckRegisterOperation(VisaOperation operation, VisaAddressSpace space, VisaDataWidth width) {
  if (!ToVisa(space)) return ReportIoError(Reporter(), IoFailure::UnsupportedAddressSpace);
  if (!ToVisa(width)) return ReportIoError(Reporter(), IoFailure::UnsupportedDataWidth);
  return CheckOperation(operation);
}

HRESULT CVisaComSession::AssertTrigger(VisaTriggerProtocol protocol) {
  const auto visaProtocol = TriggerProtocolToVisa(protocol);
  if (!visaProtocol) return ReportIoError(Reporter(), IoFailure::UnsupportedTriggerProtocol);
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  if (const visa::ViStatus status = visa_->AssertTrigger(session_, *visaProtocol); status < visa::VI_SUCCESS) {
    return PassOn(status);
  }
  return S_OK;
}

HRESULT CVisaComSession::EventCall(VisaEventType type, VisaEventMechanism mechanism,
                                   visa::ViStatus (visa::IVisaLibrary::*call)(visa::ViSession, visa::ViEventType,
                                                                              visa::ViUInt16)) {
  const auto visaType = EventTypeToVisa(type);
  if (!visaType) return ReportIoError(Reporter(), IoFailure::UnsupportedEventType);
  const auto visaMechanism = ToVisa(mechanism);
  if (!visaMechanism) return ReportIoError(Reporter(), IoFailure::UnsupportedEventMechanism);
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  const visa::ViStatus status = (visa_.get()->*call)(session_, *visaType, *visaMechanism);
  return status < visa::VI_SUCCESS ? PassOn(status) : S_OK;
}

HRESULT CVisaComSession::EnableEvent(VisaEventType type, VisaEventMechanism mechanism) {
  return EventCall(type, mechanism, &visa::IVisaLibrary::EnableEvent);
}

HRESULT CVisaComSession::DisableEvent(VisaEventType type, VisaEventMechanism mechanism) {
  return EventCall(type, mechanism, &visa::IVisaLibrary::DisableEvent);
}

HRESULT CVisaComSession::DiscardEvents(VisaEventType type, VisaEventMechanism mechanism) {
  return EventCall(type, mechanism, &visa::IVisaLibrary::DiscardEvents);
}

HRESULT CVisaComSession::WaitOnEvent(VisaEventType type, std::int32_t timeoutMs, VisaEventType* received) {
  if (!received) return ReportNullPointer("WaitOnEvent", "peOutEventType");
  *received = 0;
  const auto visaType = EventTypeToVisa(type);
  if (!visaType) return ReportIoError(Reporter(), IoFailure::UnsupportedEventType);
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  visa::ViEventType outType = 0;
  visa::ViEvent context = visa::VI_NULL;
  const visa::ViUInt32 timeout = timeoutMs < 0 ? visa::VI_TMO_INFINITE : static_cast<visa::ViUInt32>(timeoutMs);
  const visa::ViStatus status = visa_->WaitOnEvent(session_, *visaType, timeout, &outType, &context);
  if (status < visa::VI_SUCCESS) return PassOn(status);
  if (context != visa::VI_NULL) visa_->Close(context);
  if (!EventTypeToVisa(outType)) return ReportIoError(Reporter(), IoFailure::UnsupportedEventType);
  *received = outType;
  return S_OK;
}

}  // namespace hvzelta
