#pragma once

// What a session over a VISA library offers beyond message-based I/O: the
// resource's description, its attributes by identifier, triggers and
// events (forwarded to the library, which may not have them), and the
// register-based, shared-memory and asynchronous operations of VISA. The
// VISA layer under the driver has none of the latter, so each of them
// reports which facility is missing; they are listed so that a caller
// holding the session learns that from the session rather than from a
// missing symbol.

#include <cstdint>
#include <string>

#include "hvzelta/com/types.h"
#include "io/visa_enumerations.h"

namespace hvzelta {

enum class VisaInterfaceType : std::int32_t {
  Gpib = 0,
  Vxi = 1,
  GpibVxi = 2,
  Serial = 3,
  Pxi = 4,
  Tcpip = 5,
  Usb = 6,
  Other = 8,
};

enum class VisaIoProtocol : std::int32_t {
  Normal = 0,
  Fdc = 1,
  Hs488 = 2,
  Strs4882 = 3,
  UsbTmcVendor = 4,
};

enum class VisaOperation : std::uint8_t {
  // Register-based access.
  In8, In16, In32, In64,
  Out8, Out16, Out32, Out64,
  MoveIn8, MoveIn16, MoveIn32, MoveIn64,
  MoveOut8, MoveOut16, MoveOut32, MoveOut64,
  Peek8, Peek16, Peek32, Peek64,
  Poke8, Poke16, Poke32, Poke64,
  Move, MapAddress, UnmapAddress,
  GetSourceIncrement, SetSourceIncrement, GetDestinationIncrement, SetDestinationIncrement,
  GetSourceBigEndian, SetSourceBigEndian, GetDestinationBigEndian, SetDestinationBigEndian,
  GetWindowBigEndian, SetWindowBigEndian, GetWindowBaseAddress, GetWindowSize, GetWindowAccess,
  GetSourceAccessPrivilege, SetSourceAccessPrivilege, GetDestinationAccessPrivilege, SetDestinationAccessPrivilege,
  // Shared memory.
  MemAlloc, MemFree,
  // Asynchronous transfers.
  ReadAsync, WriteAsync, MoveAsync, Terminate,
  // Events.
  EnableEvent, DisableEvent, DiscardEvents, WaitOnEvent, InstallHandler, UninstallHandler,
};
inline constexpr int kVisaOperationCount = static_cast<int>(VisaOperation::UninstallHandler) + 1;

class IVisaSession {
 public:
  // The resource. A null out pointer is reported naming the method and the
  // parameter; an interface type the framework does not know is Other, an
  // I/O protocol it does not know is an I/O error.
  virtual HRESULT GetResourceName(std::string* pbstrResourceName) = 0;
  virtual HRESULT GetResourceClass(std::string* pbstrResourceClass) = 0;
  virtual HRESULT GetInterfaceType(VisaInterfaceType* peType) = 0;
  virtual HRESULT GetProtocol(VisaIoProtocol* peProtocol) = 0;
  virtual HRESULT GetInterfaceNumber(std::int16_t* psInterfaceNumber) = 0;
  virtual HRESULT GetManufacturerId(std::int16_t* psManufacturerId) = 0;
  virtual HRESULT GetModelCode(std::int16_t* psModelCode) = 0;

  // Attributes by their VISA identifier. A read whose value does not fit
  // the requested type (a text asked for as a number, 300 as 8 bits, 2 as a
  // boolean) is reported as a conversion failure naming the identifier.
  virtual HRESULT GetAttribute(std::uint32_t attribute, std::uint8_t* value) = 0;
  virtual HRESULT GetAttribute(std::uint32_t attribute, std::uint16_t* value) = 0;
  virtual HRESULT GetAttribute(std::uint32_t attribute, std::uint32_t* value) = 0;
  virtual HRESULT GetAttribute(std::uint32_t attribute, std::uint64_t* value) = 0;
  virtual HRESULT GetAttribute(std::uint32_t attribute, VARIANT_BOOL* value) = 0;
  virtual HRESULT GetAttribute(std::uint32_t attribute, std::string* value) = 0;
  virtual HRESULT SetAttribute(std::uint32_t attribute, std::uint64_t value) = 0;

  // S_OK when the session can run `operation`; otherwise the failure that
  // every call of it gives, reported.
  virtual HRESULT CheckOperation(VisaOperation operation) = 0;
  // The same for a register operation on `space` with `width`: a value
  // without a VISA counterpart is refused first.
  virtual HRESULT CheckRegisterOperation(VisaOperation operation, VisaAddressSpace space, VisaDataWidth width) = 0;

  // Forwarded to the library. A value without a VISA counterpart is
  // reported as unsupported; a failure of the library comes back as its own
  // status, described.
  virtual HRESULT AssertTrigger(VisaTriggerProtocol protocol) = 0;
  virtual HRESULT EnableEvent(VisaEventType type, VisaEventMechanism mechanism) = 0;
  virtual HRESULT DisableEvent(VisaEventType type, VisaEventMechanism mechanism) = 0;
  virtual HRESULT DiscardEvents(VisaEventType type, VisaEventMechanism mechanism) = 0;
  // Waits for an event of `type` (VI_ALL_ENABLED_EVENTS: any enabled one)
  // queued on the session; `received` is its type.
  virtual HRESULT WaitOnEvent(VisaEventType type, std::int32_t timeoutMs, VisaEventType* received) = 0;

 protected:
  ~IVisaSession() = default;
};

}  // namespace hvzelta
