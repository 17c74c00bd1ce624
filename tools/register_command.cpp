// "hvzelta register" and "hvzelta unregister": load the driver library and
// call its own registration entry point, so the registration names the
// library file that loaders will open.

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

#include "arguments.h"
#include "command.h"
#include "hvzelta/com/types.h"
#include "registration/component_registration.h"

namespace hvzelta::cli {
namespace {

// The library's name as the loader finds it: the build tree through the
// program's run path, an installation through the usual library folders.
constexpr const char* kDefaultLibrary = "libhvzelta.so.1";

constexpr OptionRule kOptions[] = {{"user", false}, {"library", true}};

using DllInstallFunction = HRESULT (*)(std::int32_t, const wchar_t*);

std::string StatusText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

int Install(bool install, std::span<const std::string_view> words, Streams& streams) {
  const std::string_view verb = install ? "register" : "unregister";
  Arguments arguments;
  std::string error;
  if (!arguments.Parse(words, kOptions, error) || !arguments.Positional().empty()) {
    if (error.empty()) error = "unexpected argument '" + arguments.Positional().front() + "'";
    streams.err << "hvzelta " << verb << ": " << error << "\n";
    return kExitUsage;
  }
  const bool user = arguments.Has("user");
  const std::string library = arguments.Value("library").value_or(kDefaultLibrary);
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    streams.err << "hvzelta " << verb << ": cannot load " << library << ": " << dlerror() << "\n";
    return kExitFailure;
  }
  const auto dllInstall = reinterpret_cast<DllInstallFunction>(dlsym(handle, "DllInstall"));
  if (!dllInstall) {
    streams.err << "hvzelta " << verb << ": " << library << " has no DllInstall entry point\n";
    dlclose(handle);
    return kExitFailure;
  }
  const HRESULT hr = dllInstall(install ? 1 : 0, user ? L"user" : nullptr);
  dlclose(handle);
  const std::string directory = user ? UserRegistrationDirectory() : MachineRegistrationDirectory();
  if (Failed(hr)) {
    streams.err << "hvzelta " << verb << ": failed with status " << StatusText(hr);
    if (hr == E_ACCESSDENIED) streams.err << " (no permission to write " << directory << ")";
    if (!user) streams.err << "; 'hvzelta " << verb << " --user' needs no special rights";
    streams.err << "\n";
    return kExitFailure;
  }
  streams.out << (install ? "registered " : "unregistered ") << library << (install ? " in " : " from ")
              << RegistrationFilePath(directory) << "\n";
  return kExitSuccess;
}

}  // namespace

const Command kRegisterCommand{
    "register", "publish the driver's classes so loaders can create them by ProgID",
    "usage: hvzelta register [--user] [--library FILE]\n"
    "\n"
    "Loads the driver library and lets it write its registration file: machine-wide\n"
    "in /usr/local/share/ivi/classes, or with --user in $XDG_DATA_HOME/ivi/classes\n"
    "(default ~/.local/share/ivi/classes).\n"
    "  --user          register for the current user only\n"
    "  --library FILE  the library to register (default libhvzelta.so.1)\n",
    [](std::span<const std::string_view> words, Streams& streams) { return Install(true, words, streams); }};

const Command kUnregisterCommand{
    "unregister", "remove the driver's registration",
    "usage: hvzelta unregister [--user] [--library FILE]\n"
    "\n"
    "Loads the driver library and lets it remove its registration file.\n"
    "  --user          remove the current user's registration\n"
    "  --library FILE  the library to unregister (default libhvzelta.so.1)\n",
    [](std::span<const std::string_view> words, Streams& streams) { return Install(false, words, streams); }};

}  // namespace hvzelta::cli
