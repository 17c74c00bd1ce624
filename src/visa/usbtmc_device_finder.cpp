#include "visa/usbtmc_device_finder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/text.h"
#include "visa/sysfs_value.h"

namespace hvzelta::visa {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::optional<UsbTmcDevice> FindUsbTmcDevice(const std::string& sysfsRoot, const std::string& devRoot,
                                             std::uint16_t vendorId, std::uint16_t productId,
                                             const std::string& serialNumber, int interfaceNumber) {
  std::error_code error;
  const fs::path classDir = fs::path(sysfsRoot) / "class" / "usbmisc";
  std::vector<std::string> nodes;
  for (fs::directory_iterator it(classDir, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.rfind("usbtmc", 0) == 0) nodes.push_back(name);
  }
  std::sort(nodes.begin(), nodes.end());

  std::optional<UsbTmcDevice> best;
  for (const auto& node : nodes) {
    const fs::path interfaceDir = fs::canonical(classDir / node / "device", error);
    if (error) continue;
    const fs::path deviceDir = interfaceDir.parent_path();
    auto vendor = ReadSysfsHex(deviceDir / "idVendor");
    auto product = ReadSysfsHex(deviceDir / "idProduct");
    auto number = ReadSysfsHex(interfaceDir / "bInterfaceNumber");
    if (!vendor || !product || !number || *vendor != vendorId || *product != productId) continue;
    if (!EqualsIgnoringCase(ReadSysfsValue(deviceDir / "serial"), serialNumber)) continue;
    const int found = static_cast<int>(*number);
    if (interfaceNumber >= 0 && found != interfaceNumber) continue;
    if (best && best->interfaceNumber <= found) continue;
    best = UsbTmcDevice{(fs::path(devRoot) / node).string(), found, ReadSysfsValue(deviceDir / "manufacturer"),
                        ReadSysfsValue(deviceDir / "product")};
  }
  return best;
}

}  // namespace hvzelta::visa
