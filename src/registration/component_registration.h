#pragma once

// Component registration without a system registry. DllRegisterServer writes
// a registration file that publishes the library's classes (description
// texts, ProgIDs, class identifiers, threading model "Both", application
// identifier "HalvornZeltaLib", the library's file); DllUnregisterServer
// removes it; CreateObjectByProgId reads the files back and hands out a new
// object. Those are declared for users in hvzelta/registration.h; this header
// adds what the library and its tool share. Machine-wide files live in
// /usr/local/share/ivi/classes, per-user files in $XDG_DATA_HOME/ivi/classes
// (default ~/.local/share/ivi/classes). The format is in docs/registration.md.

#include <span>
#include <string>
#include <string_view>

#include "hvzelta/registration.h"

namespace hvzelta {

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

// "{DD5D5713-8792-4437-8433-BD3C197F782E}"; and back (false when malformed).
std::string GuidText(const GUID& guid);
bool ParseGuid(std::string_view text, GUID& guid);

}  // namespace hvzelta
