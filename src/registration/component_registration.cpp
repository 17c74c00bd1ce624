#include "registration/component_registration.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "hvzelta/halvorn_zelta.h"
#include "platform/module_usage.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

namespace fs = std::filesystem;

// {1DF1DFE1-ACA1-4CED-9C48-83EED3770221}
constexpr GUID kAppId{0x1df1dfe1, 0xaca1, 0x4ced, {0x9c, 0x48, 0x83, 0xee, 0xd3, 0x77, 0x02, 0x21}};
constexpr std::string_view kAppName = "HalvornZeltaLib";
constexpr std::string_view kThreadingModel = "Both";
constexpr std::string_view kAppSection = "AppID";
constexpr std::string_view kClassesFolder = "ivi/classes";

constexpr std::array kClasses{
    RegisteredClass{"HalvornZelta", "HalvornZelta Class", "HalvornZelta.HalvornZelta.1", "HalvornZelta.HalvornZelta",
                    CLSID_HalvornZelta, true},
    // {9328FCD7-6F12-4656-BF5C-9420A1C8CB42}
    RegisteredClass{"HalvornZeltaOutputPhase", "HalvornZeltaOutputPhase Class", "HalvornZelta.OutputPhase.1",
                    "HalvornZelta.OutputPhase",
                    CLSID{0x9328fcd7, 0x6f12, 0x4656, {0xbf, 0x5c, 0x94, 0x20, 0xa1, 0xc8, 0xcb, 0x42}}, false},
    // {CF2ABDDC-0ACE-4472-8783-1AE26D08CD59}
    RegisteredClass{"HalvornZeltaOutput", "HalvornZeltaOutput Class", "HalvornZelta.Output.1", "HalvornZelta.Output",
                    CLSID{0xcf2abddc, 0x0ace, 0x4472, {0x87, 0x83, 0x1a, 0xe2, 0x6d, 0x08, 0xcd, 0x59}}, false},
};

// A registration file is small; anything larger is not one of ours.
constexpr std::uintmax_t kMaxRegistrationFileSize = 64 * 1024;
constexpr std::size_t kMaxRegistrationFiles = 256;

using Section = std::map<std::string, std::string, std::less<>>;

// Any object inside the library: its address tells which file the library was loaded from.
const char kModuleAnchor = 0;

std::string ModulePath() {
  Dl_info info{};
  if (dladdr(&kModuleAnchor, &info) == 0 || !info.dli_fname) return {};
  std::error_code error;
  const fs::path absolute = fs::absolute(info.dli_fname, error);
  return error ? std::string(info.dli_fname) : absolute.string();
}

HRESULT StatusOf(const std::error_code& error) {
  if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
      error == std::errc::read_only_file_system) {
    return E_ACCESSDENIED;
  }
  return E_FAIL;
}

std::string RegistrationText(const std::string& modulePath) {
  std::ostringstream text;
  text << "; Component registration of " << kAppName << ", written by DllRegisterServer and\n"
       << "; removed by DllUnregisterServer. Loaders create the classes below by ProgID.\n\n"
       << "[" << kAppSection << "]\n"
       << "AppID=" << GuidText(kAppId) << "\n"
       << "Name=" << kAppName << "\n"
       << "Library=" << fs::path(modulePath).filename().string() << "\n";
  for (const RegisteredClass& entry : kClasses) {
    text << "\n[" << entry.className << "]\n"
         << "CLSID=" << GuidText(entry.clsid) << "\n"
         << "Description=" << entry.description << "\n"
         << "ProgID=" << entry.progId << "\n"
         << "VersionIndependentProgID=" << entry.versionIndependentProgId << "\n"
         << "InprocServer32=" << modulePath << "\n"
         << "ThreadingModel=" << kThreadingModel << "\n"
         << "AppID=" << GuidText(kAppId) << "\n"
         << "Creatable=" << (entry.creatable ? "true" : "false") << "\n";
  }
  return text.str();
}

// The sections of a registration file; nothing when it cannot be read.
std::map<std::string, Section, std::less<>> ReadRegistrationFile(const fs::path& path) {
  std::map<std::string, Section, std::less<>> sections;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size > kMaxRegistrationFileSize) return sections;
  std::ifstream file(path);
  std::string line;
  Section* current = nullptr;
  while (std::getline(file, line)) {
    const std::string_view text = TrimWhiteSpace(line);
    if (text.empty() || text.front() == ';' || text.front() == '#') continue;
    if (text.front() == '[' && text.back() == ']') {
      current = &sections[std::string(TrimWhiteSpace(text.substr(1, text.size() - 2)))];
    } else if (const std::size_t equals = text.find('='); current && equals != std::string_view::npos) {
      (*current)[std::string(TrimWhiteSpace(text.substr(0, equals)))] = std::string(TrimWhiteSpace(text.substr(equals + 1)));
    }
  }
  return sections;
}

std::string ValueOf(const Section& section, std::string_view key) {
  const auto it = section.find(key);
  return it == section.end() ? std::string() : it->second;
}

// The registration of a ProgID: its class section.
std::optional<Section> FindProgId(std::string_view progId) {
  for (const std::string& directory : {UserRegistrationDirectory(), MachineRegistrationDirectory()}) {
    if (directory.empty()) continue;
    std::error_code error;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(directory, error), end; !error && it != end && files.size() < kMaxRegistrationFiles;
         it.increment(error)) {
      if (it->path().extension() == ".ini") files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      for (auto& [name, section] : ReadRegistrationFile(file)) {
        if (name == kAppSection) continue;
        if (EqualsIgnoringCase(ValueOf(section, "ProgID"), progId) ||
            EqualsIgnoringCase(ValueOf(section, "VersionIndependentProgID"), progId)) {
          return std::move(section);
        }
      }
    }
  }
  return std::nullopt;
}

using GetClassObjectFunction = HRESULT (*)(const CLSID*, const IID*, void**);

// The class-object entry of the library at `path`: this library's own, or
// that of another library loaded for it. A loaded library stays loaded, since
// the objects it makes may outlive any caller here.
GetClassObjectFunction ClassObjectEntryOf(const std::string& path) {
  if (path.empty()) return nullptr;
  std::error_code error;
  if (fs::equivalent(path, ModulePath(), error) && !error) return &DllGetClassObject;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  return reinterpret_cast<GetClassObjectFunction>(dlsym(library, "DllGetClassObject"));
}

// The class factory of the driver object; one for the process.
class DriverClassFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IClassFactory::kIid) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // The factory lives as long as the process; counting its references would change nothing.
  std::uint32_t AddRef() override { return 2; }
  std::uint32_t Release() override { return 1; }

  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return CreateHalvornZelta(iid, object);
  }
  HRESULT LockServer(std::int32_t lock) override {
    if (lock) {
      gModuleUsage.fetch_add(1, std::memory_order_relaxed);
    } else {
      gModuleUsage.fetch_sub(1, std::memory_order_relaxed);
    }
    return S_OK;
  }
};

DriverClassFactory gDriverClassFactory;

// Runs an entry point so that nothing escapes it as an exception.
template <class Work>
HRESULT Guarded(Work work) noexcept {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace

std::span<const RegisteredClass> RegisteredClasses() { return kClasses; }

std::string MachineRegistrationDirectory() { return (fs::path("/usr/local/share") / kClassesFolder).string(); }

std::string UserRegistrationDirectory() {
  // Relative values of XDG_DATA_HOME are to be ignored, as the base directory rules say.
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
    return (fs::path(data) / kClassesFolder).string();
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return (fs::path(home) / ".local/share" / kClassesFolder).string();
  }
  return {};
}

std::string RegistrationFilePath(std::string_view directory) {
  return (fs::path(directory) / (std::string(kAppName) + ".ini")).string();
}

HRESULT RegisterComponents(std::string_view directory) {
  if (directory.empty()) return E_FAIL;
  const std::string modulePath = ModulePath();
  if (modulePath.empty()) return E_UNEXPECTED;
  std::error_code error;
  fs::create_directories(fs::path(directory), error);
  if (error) return StatusOf(error);
  // Written beside its final name and renamed, so readers never see half a file.
  const fs::path target = RegistrationFilePath(directory);
  const fs::path temporary = target.string() + ".tmp" + std::to_string(getpid());
  {
    std::ofstream file(temporary, std::ios::trunc);
    if (!file) return StatusOf(std::error_code(errno, std::generic_category()));
    file << RegistrationText(modulePath);
    file.flush();
    if (!file) {
      file.close();
      fs::remove(temporary, error);
      return E_FAIL;
    }
  }
  fs::rename(temporary, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return StatusOf(error);
  }
  return S_OK;
}

HRESULT UnregisterComponents(std::string_view directory) {
  if (directory.empty()) return E_FAIL;
  std::error_code error;
  fs::remove(RegistrationFilePath(directory), error);
  return error ? StatusOf(error) : S_OK;
}

HRESULT CreateObjectByProgId(std::string_view progId, const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  return Guarded([&] {
    const std::optional<Section> registration = FindProgId(progId);
    if (!registration) return REGDB_E_CLASSNOTREG;
    CLSID clsid;
    if (ValueOf(*registration, "Creatable") != "true" || !ParseGuid(ValueOf(*registration, "CLSID"), clsid)) {
      return CLASS_E_CLASSNOTAVAILABLE;
    }
    const GetClassObjectFunction getClassObject = ClassObjectEntryOf(ValueOf(*registration, "InprocServer32"));
    if (!getClassObject) return CLASS_E_CLASSNOTAVAILABLE;
    ComPtr<IClassFactory> factory;
    if (HRESULT hr = getClassObject(&clsid, &IClassFactory::kIid, reinterpret_cast<void**>(factory.Out())); Failed(hr)) {
      return hr;
    }
    return factory->CreateInstance(nullptr, iid, object);
  });
}

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.data1, guid.data2,
                guid.data3, guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4], guid.data4[5],
                guid.data4[6], guid.data4[7]);
  return text;
}

bool ParseGuid(std::string_view text, GUID& guid) {
  // Hex digit positions of "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
  constexpr std::string_view kShape = "{########-####-####-####-############}";
  if (text.size() != kShape.size()) return false;
  std::array<std::uint8_t, 16> bytes{};
  std::size_t nibble = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (kShape[i] != '#') {
      if (c != kShape[i]) return false;
      continue;
    }
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    if (value < 0) return false;
    bytes[nibble / 2] = static_cast<std::uint8_t>(bytes[nibble / 2] << 4 | value);
    ++nibble;
  }
  guid.data1 = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
               static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
  guid.data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
  guid.data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
  std::copy(bytes.begin() + 8, bytes.end(), guid.data4);
  return true;
}

extern "C" {

HRESULT DllRegisterServer() {
  return Guarded([] { return RegisterComponents(MachineRegistrationDirectory()); });
}

HRESULT DllUnregisterServer() {
  return Guarded([] { return UnregisterComponents(MachineRegistrationDirectory()); });
}

HRESULT DllInstall(std::int32_t install, const wchar_t* commandLine) {
  return Guarded([&] {
    const bool user = commandLine && EqualsIgnoringCase(WideToUtf8(commandLine), "user");
    const std::string directory = user ? UserRegistrationDirectory() : MachineRegistrationDirectory();
    if (!install) return UnregisterComponents(directory);
    const HRESULT hr = RegisterComponents(directory);
    if (Failed(hr)) UnregisterComponents(directory);
    return hr;
  });
}

HRESULT DllCanUnloadNow() { return gModuleUsage.load(std::memory_order_relaxed) == 0 ? S_OK : S_FALSE; }

HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!clsid || !iid) return E_INVALIDARG;
  if (*clsid != CLSID_HalvornZelta) return CLASS_E_CLASSNOTAVAILABLE;
  return gDriverClassFactory.QueryInterface(*iid, object);
}
}

}  // namespace hvzelta
