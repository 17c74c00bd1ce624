// Discovery of the instruments attached to this machine: serial ports and
// USB-TMC interfaces.

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "platform/text.h"
#include "visa/resource_discovery.h"
#include "visa/sysfs_value.h"

namespace hvzelta::visa {
namespace {

namespace fs = std::filesystem;

// A ttyUSB or ttyACM node exists only while its adapter is plugged in; the
// kernel makes ttyS0..ttyS31 whether or not a UART is behind them, which
// sysfs tells by the port's type (0: none). Nothing is opened: opening a
// port can reset the board behind it.
bool PortPresent(const fs::path& sysfsRoot, const std::string& name, bool needsUart) {
  if (!needsUart) return true;
  std::ifstream typeFile(sysfsRoot / "class" / "tty" / name / "type");
  unsigned type = 0;
  return typeFile >> type && type != 0;
}

std::optional<unsigned> NumberAfter(std::string_view name, std::string_view prefix) {
  if (name.substr(0, prefix.size()) != prefix || name.size() == prefix.size() || name.size() > prefix.size() + 4)
    return std::nullopt;
  unsigned value = 0;
  for (char c : name.substr(prefix.size())) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

// A serial number goes into a resource name between "::"; characters that
// would end it early are left out.
std::string NameSafe(std::string_view text) {
  std::string safe;
  for (char c : text) {
    if (c != ':' && static_cast<unsigned char>(c) > ' ') safe += c;
  }
  return safe;
}

// The resource name of a USB interface directory of sysfs, when its parent
// is a USB device with ids.
std::optional<std::string> UsbResourceName(const fs::path& interfaceDir) {
  const fs::path deviceDir = interfaceDir.parent_path();
  const auto vendor = ReadSysfsHex(deviceDir / "idVendor");
  const auto product = ReadSysfsHex(deviceDir / "idProduct");
  const auto number = ReadSysfsHex(interfaceDir / "bInterfaceNumber");
  if (!vendor || !product || !number) return std::nullopt;
  std::string serial = NameSafe(ReadSysfsValue(deviceDir / "serial"));
  char name[128];
  if (*number == 0) {
    std::snprintf(name, sizeof name, "USB0::0x%04lX::0x%04lX::%s::INSTR", *vendor, *product, serial.c_str());
  } else {
    std::snprintf(name, sizeof name, "USB0::0x%04lX::0x%04lX::%s::%lu::INSTR", *vendor, *product, serial.c_str(),
                  *number);
  }
  return std::string(name);
}

constexpr unsigned long kTestAndMeasurementClass = 0xFE;
constexpr unsigned long kUsbTmcSubclass = 0x03;

}  // namespace

std::vector<std::string> FindSerialPorts(const std::string& devRoot, const std::string& sysfsRoot) {
  struct Family {
    std::string_view prefix;
    bool byBoard;  // named ASRL<n+1>, as ASRLn opens ttyS<n-1>
  };
  constexpr Family kFamilies[] = {{"ttyS", true}, {"ttyUSB", false}, {"ttyACM", false}};
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(devRoot, error), end; !error && it != end; it.increment(error)) {
    const std::string file = it->path().filename().string();
    for (const Family& family : kFamilies) {
      const std::optional<unsigned> number = NumberAfter(file, family.prefix);
      if (!number || !PortPresent(sysfsRoot, file, family.byBoard)) continue;
      names.push_back(family.byBoard ? "ASRL" + std::to_string(*number + 1) + "::INSTR"
                                     : "ASRL" + it->path().string() + "::INSTR");
    }
  }
  return names;
}

std::vector<std::string> FindUsbTmcInstruments(const std::string& sysfsRoot) {
  std::set<fs::path> interfaces;
  std::error_code error;
  // Interfaces the usbtmc driver serves...
  const fs::path classDir = fs::path(sysfsRoot) / "class" / "usbmisc";
  for (fs::directory_iterator it(classDir, error), end; !error && it != end; it.increment(error)) {
    if (it->path().filename().string().rfind("usbtmc", 0) != 0) continue;
    std::error_code resolve;
    fs::path interfaceDir = fs::canonical(it->path() / "device", resolve);
    if (!resolve) interfaces.insert(interfaceDir);
  }
  // ...and those of the class that no driver serves yet.
  error.clear();
  const fs::path busDir = fs::path(sysfsRoot) / "bus" / "usb" / "devices";
  for (fs::directory_iterator it(busDir, error), end; !error && it != end; it.increment(error)) {
    if (it->path().filename().string().find(':') == std::string::npos) continue;
    if (ReadSysfsHex(it->path() / "bInterfaceClass") != kTestAndMeasurementClass ||
        ReadSysfsHex(it->path() / "bInterfaceSubClass") != kUsbTmcSubclass)
      continue;
    std::error_code resolve;
    fs::path interfaceDir = fs::canonical(it->path(), resolve);
    if (!resolve) interfaces.insert(interfaceDir);
  }
  std::vector<std::string> names;
  for (const fs::path& interfaceDir : interfaces) {
    if (std::optional<std::string> name = UsbResourceName(interfaceDir)) names.push_back(*name);
  }
  return names;
}

}  // namespace hvzelta::visa
