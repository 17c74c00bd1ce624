#pragma once

// Component registration without a system registry. DllRegisterServer writes
// a registration file that publishes the library's classes (description
// texts, ProgIDs, class identifiers, threading model "Both", application
// identifier "HalvornZeltaLib", the library's file); DllUnregisterServer
// removes it; CreateObjectByProgId reads the files back and hands out a new
// object. Machine-wide files live in /usr/local/share/ivi/classes, per-user
// files in $XDG_DATA_HOME/ivi/classes (default ~/.local/share/ivi/classes).
// The file format is described in docs/registration.md.

#include <cstdint>
#include <span>
#include <string>
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

// One class the library publishes.
struct RegisteredClass {
  std::string_view className;
  std::string_view description;
  std::string_view progId;                    // version-dependent
  std::string_view versionIndependentProgId;  // its current version is progId
  CLSID clsid;
  bool creatable;  // only creatable classes have a class factory
};

// The published classes in registration order.
std::span<const RegisteredClass> RegisteredClasses();

// Folders of the registration files; empty when the per-user folder cannot be
// told (neither XDG_DATA_HOME nor HOME is set).
std::string MachineRegistrationDirectory();
std::string UserRegistrationDirectory();
// The registration file of this library inside `directory`.
std::string RegistrationFilePath(std::string_view directory);

// Writes (replacing) and removes this library's registration file in
// `directory`. E_ACCESSDENIED when the folder may not be written.
HRESULT RegisterComponents(std::string_view directory);
HRESULT UnregisterComponents(std::string_view directory);

// A new object of the class registered under `progId` (version-dependent or
// not, without regard to case), per-user registrations first, as interface
// `iid`. REGDB_E_CLASSNOTREG when no registration names the ProgID;
// CLASS_E_CLASSNOTAVAILABLE when the class is not creatable or its library
// cannot be loaded.
HVZELTA_API HRESULT CreateObjectByProgId(std::string_view progId, const IID& iid, void** object);

// "{DD5D5713-8792-4437-8433-BD3C197F782E}"; and back (false when malformed).
std::string GuidText(const GUID& guid);
bool ParseGuid(std::string_view text, GUID& guid);

extern "C" {
HVZELTA_API HRESULT DllRegisterServer();
HVZELTA_API HRESULT DllUnregisterServer();
// Registers (install nonzero) or unregisters; the command line "user" (any
// case) chooses the per-user folder. A failed registration is undone.
HVZELTA_API HRESULT DllInstall(std::int32_t install, const wchar_t* commandLine);
// S_OK when no object and no factory lock keeps the library in use, else S_FALSE.
HVZELTA_API HRESULT DllCanUnloadNow();
HVZELTA_API HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** object);
}

}  // namespace hvzelta
