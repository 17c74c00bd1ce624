#pragma once

// Resource strings of the published VISA grammar, case-insensitive, with
// board numbers and the usual defaults:
//   TCPIP[n]::host::port::SOCKET             raw socket
//   TCPIP[n]::host[::inst0][::INSTR]         VXI-11 core channel (port-mapper)
//   TCPIP[n]::host,port[::inst0][::INSTR]    VXI-11 with the core port given
//   TCPIP[n]::host::hislip0[,port][::INSTR]  HiSLIP (port 4880 by default)
//   ASRL[n][::INSTR], ASRL/dev/tty...::INSTR serial line (ASRLn = /dev/ttyS<n-1>)
//   USB[n]::vid::pid::serial[::intf][::INSTR] USB-TMC
//   GPIB[n]::primary[::secondary][::INSTR]   parsed only; reached through an
//                                            installed VISA library
// Hosts may be names, IPv4 addresses or bracketed IPv6 addresses.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "visa/visa_types.h"

namespace hvzelta::visa {

enum class ResourceKind { TcpipSocket, Vxi11, Hislip, Serial, UsbTmc, Gpib };

struct ResourceName {
  ResourceKind kind = ResourceKind::TcpipSocket;
  ViUInt16 interfaceType = 0;
  ViUInt16 board = 0;
  std::string resourceClass;  // "INSTR" or "SOCKET"
  std::string canonical;      // the expanded name, as VI_ATTR_RSRC_NAME gives it

  // TCPIP: the host as written (brackets removed), the port (socket port,
  // HiSLIP port, or the VXI-11 core port when given directly; 0 asks the
  // port-mapper) and the LAN device name ("inst0", "hislip0").
  std::string host;
  std::uint16_t port = 0;
  std::string deviceName;

  // ASRL: the device file; empty when the board number names no port.
  std::string serialPath;

  // USB: the identity to match, and the interface number (-1: any).
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string serialNumber;
  int usbInterface = -1;

  // GPIB: addresses (-1: no secondary address).
  int gpibPrimary = 0;
  int gpibSecondary = -1;

  // Two names that reach the same device give the same key (VISA locks are
  // taken per device, whatever alias a session used).
  std::string LockKey() const;
};

// A name longer than this is refused.
constexpr std::size_t kMaxResourceNameLength = 1024;

// A refused name sets `failedAt` (when given) to the character, counted from
// 1 in `text`, where it departs from the grammar.
std::optional<ResourceName> ParseResourceName(std::string_view text, std::size_t* failedAt = nullptr);

// A name without "::" that starts with no interface keyword: VISA takes such
// a name for an alias of a resource.
bool LooksLikeAlias(std::string_view text);

constexpr std::uint16_t kHislipDefaultPort = 4880;

}  // namespace hvzelta::visa
