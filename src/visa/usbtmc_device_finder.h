#pragma once

// Finds the /dev/usbtmcN node of a USB instrument by its identity, from
// what the usbtmc kernel driver publishes in sysfs: each
// class/usbmisc/usbtmcN/device links to the USB interface (with its
// bInterfaceNumber), whose parent is the device (idVendor, idProduct,
// serial, manufacturer, product).

#include <cstdint>
#include <optional>
#include <string>

namespace hvzelta::visa {

struct UsbTmcDevice {
  std::string node;  // e.g. /dev/usbtmc0
  int interfaceNumber = 0;
  std::string manufacturer;
  std::string product;
};

// `interfaceNumber` -1 takes the lowest. The serial number is compared
// without regard to case, like the rest of a resource string.
std::optional<UsbTmcDevice> FindUsbTmcDevice(const std::string& sysfsRoot, const std::string& devRoot,
                                             std::uint16_t vendorId, std::uint16_t productId,
                                             const std::string& serialNumber, int interfaceNumber);

}  // namespace hvzelta::visa
