#pragma once

// Creating drivers by name and the library's registration entry points.
// Linux has no system registry: registration writes a file that publishes the
// library's classes, and CreateObjectByProgId reads such files back
// (docs/registration.md tells where they live and what they hold).

#include <cstdint>
#include <string_view>

#include "hvzelta/com/types.h"
#include "hvzelta/com/unknown.h"
#include "hvzelta/export.h"

namespace hvzelta {

constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154u);

// Makes the objects of one class.
class IClassFactory : public IUnknown {
 public:
  // {00000001-0000-0000-C000-000000000046}
  static constexpr IID kIid{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
  // A locked factory keeps the library in use (DllCanUnloadNow).
  virtual HRESULT LockServer(std::int32_t lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// A new object of the class registered under `progId` (version-dependent or
// not, without regard to case), per-user registrations first, as interface
// `iid`. REGDB_E_CLASSNOTREG when no registration names the ProgID;
// CLASS_E_CLASSNOTAVAILABLE when the class is not creatable or its library
// cannot be loaded.
HVZELTA_API HRESULT CreateObjectByProgId(std::string_view progId, const IID& iid, void** object);

extern "C" {
// Writes the machine-wide registration file, and removes it.
HVZELTA_API HRESULT DllRegisterServer();
HVZELTA_API HRESULT DllUnregisterServer();
// Registers (install nonzero) or unregisters; the command line "user" (any
// case) chooses the per-user folder. A failed registration is undone.
HVZELTA_API HRESULT DllInstall(std::int32_t install, const wchar_t* commandLine);
// S_OK when no object and no factory lock keeps the library in use, else S_FALSE.
HVZELTA_API HRESULT DllCanUnloadNow();
// The class factory of a creatable class; CLASS_E_CLASSNOTAVAILABLE for any other.
HVZELTA_API HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** object);
}

}  // namespace hvzelta
