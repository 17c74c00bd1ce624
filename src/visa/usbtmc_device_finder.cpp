#include "visa/usbtmc_device_finder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/text.h"

namespace hvzelta::visa {
namespace {

namespace fs = std::filesystem;

// The first line of a small sysfs file, without surrounding white space.
std::string ReadValue(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  if (line.size() > 256) line.resize(256);
  return std::string(TrimWhiteSpace(line));
}

std::optional<unsigned long> ReadHex(const fs::path& file) {
  std::string text = ReadValue(file);
  if (text.empty() || text.size() > 8) return std::nullopt;
  try {
    std::size_t used = 0;
    unsigned long value = std::stoul(text, &used, 16);
    return used == text.size() ? std::optional<unsigned long>(value) : std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

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
    auto vendor = ReadHex(deviceDir / "idVendor");
    auto product = ReadHex(deviceDir / "idProduct");
    auto number = ReadHex(interfaceDir / "bInterfaceNumber");
    if (!vendor || !product || !number || *vendor != vendorId || *product != productId) continue;
    if (!EqualsIgnoringCase(ReadValue(deviceDir / "serial"), serialNumber)) continue;
    const int found = static_cast<int>(*number);
    if (interfaceNumber >= 0 && found != interfaceNumber) continue;
    if (best && best->interfaceNumber <= found) continue;
    best = UsbTmcDevice{(fs::path(devRoot) / node).string(), found, ReadValue(deviceDir / "manufacturer"),
                        ReadValue(deviceDir / "product")};
  }
  return best;
}

}  // namespace hvzelta::visa
