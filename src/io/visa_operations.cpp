// The register-based, shared-memory, asynchronous and event operations of
// VISA. The VISA layer under the driver offers none of them, so each one
// answers with the facility it lacks, decided by the table below.

#include <algorithm>
#include <array>
#include <string_view>

#include "core/error_reporter.h"
#include "io/io_error.h"
#include "io/visa_com_session.h"

namespace hvzelta {

namespace {

enum class Facility { Register, Register64, SharedMemory, Asynchronous, MoveAsync, Events };

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
    FacilityRange{Op::EnableEvent, Op::UninstallHandler, Facility::Events},
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
  return Facility::Events;
}

std::string_view MissingFacility(Facility facility) {
  switch (facility) {
    case Facility::Register: return "The VISA-COM session does not support register-based operations.";
    case Facility::Register64: return "The VISA-COM session does not support 64-bit register-based operations.";
    case Facility::SharedMemory:
      return "The VISA-COM session does not support shared memory register-based operations.";
    case Facility::Asynchronous: return "The VISA-COM session does not support asynchronous messaging operations.";
    case Facility::MoveAsync: return "The VISA-COM session does not support the MoveAsync operation.";
    case Facility::Events: break;
  }
  return {};
}

}  // namespace

HRESULT CVisaComSession::CheckOperation(VisaOperation operation) {
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  const Facility facility = FacilityOf(operation);
  // Events belong to the library itself; it answers as it does for any
  // operation it lacks.
  if (facility == Facility::Events) return Fail(visa::VI_ERROR_NSUP_OPER);
  return ReportIoError(Reporter(), MissingFacility(facility));
}

}  // namespace hvzelta
