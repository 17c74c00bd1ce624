#pragma once

// The driver object of the ZTA100/ZTA200/ZTA300/ZTA400 AC power sources.

#include "hvzelta/com/types.h"
#include "hvzelta/export.h"
#include "hvzelta/halvorn_zelta_interfaces.h"
#include "hvzelta/ivi_acpwr.h"
#include "hvzelta/ivi_driver.h"
#include "hvzelta/status.h"

namespace hvzelta {

// {dd5d5713-8792-4437-8433-bd3c197f782e}
constexpr CLSID CLSID_HalvornZelta{0xdd5d5713, 0x8792, 0x4437, {0x84, 0x33, 0xbd, 0x3c, 0x19, 0x7f, 0x78, 0x2e}};

// The default interface of the driver object.
class IHalvornZelta : public IIviDriver {
 public:
  // {d07e578b-c0d6-4d9b-96f8-88c2632fb075}
  static constexpr IID kIid{0xd07e578b, 0xc0d6, 0x4d9b, {0x96, 0xf8, 0x88, 0xc2, 0x63, 0x2f, 0xb0, 0x75}};
  virtual HRESULT get_OutputPhases(IHalvornZeltaOutputPhases** val) = 0;
  virtual HRESULT get_System(IHalvornZeltaSystem** val) = 0;
  virtual HRESULT get_Trigger(IHalvornZeltaTrigger** val) = 0;
  virtual HRESULT get_Outputs(IHalvornZeltaOutputs** val) = 0;
  virtual HRESULT get_Memory(IHalvornZeltaMemory** val) = 0;
  // Attaching to a session of the C interface is not supported (it keeps
  // sessions of its own): AttachToExistingCSession fails as a method that is
  // not supported, get_NativeCHandle gives 0 and fails as a property that is
  // not supported.
  virtual HRESULT AttachToExistingCSession() = 0;
  virtual HRESULT get_NativeCHandle(std::int32_t* val) = 0;

 protected:
  ~IHalvornZelta() = default;
};

// Creates a driver object and hands out its interface `iid` with one
// reference that the caller releases. E_NOINTERFACE for an interface the
// driver does not carry; E_POINTER for a null `object`.
HVZELTA_API HRESULT CreateHalvornZelta(const IID& iid, void** object);

}  // namespace hvzelta
