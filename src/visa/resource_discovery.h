#pragma once

// Where viFindRsrc looks for instruments, and what it finds there:
//   - serial ports: /dev/ttyUSB*, /dev/ttyACM*, and /dev/ttyS* with a UART
//     behind them (none is opened);
//   - USB-TMC: the /dev/usbtmc* nodes of the kernel driver, and USB
//     interfaces of the test-and-measurement class that sysfs lists;
//   - VXI-11: the port-mappers that answer a GETPORT for the core channel,
//     asked by UDP at the addresses or subnets the caller names
//     (HVZELTA_VXI11_SUBNETS="192.0.2.0/24,127.0.0.1");
//   - LXI: services announced over mDNS/DNS-SD (_lxi._tcp, _hislip._tcp,
//     _scpi-raw._tcp), asked through avahi-browse when it is installed;
//   - the resource names of the configuration store's hardware assets.
// A source that is absent or fails adds nothing; discovery never fails.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "visa/resource_pattern.h"

namespace hvzelta::visa {

struct DiscoveryOptions {
  std::string devRoot = "/dev";
  std::string sysfsRoot = "/sys";
  // Addresses ("192.0.2.7") and subnets ("192.0.2.0/24", asked at their
  // broadcast address) where VXI-11 port-mappers are asked.
  std::vector<std::string> vxi11Targets;
  std::uint16_t portmapperPort = 111;
  bool mdns = true;
  // How long answers from the network are awaited.
  std::chrono::milliseconds networkWait{600};
};

// The defaults, with HVZELTA_VXI11_SUBNETS, HVZELTA_PORTMAPPER_PORT,
// HVZELTA_DISCOVERY_WAIT_MS and HVZELTA_MDNS_DISCOVERY=0 applied.
DiscoveryOptions DiscoveryOptionsFromEnvironment();

// A name a resource is also known by, and the resource name it stands for.
struct ResourceAlias {
  std::string alias;
  std::string resource;
};
using AliasSource = std::vector<ResourceAlias> (*)();
// The configuration store registers itself here; without it there are no
// aliases.
void SetAliasSource(AliasSource source);
std::vector<ResourceAlias> ResourceAliases();

std::vector<std::string> FindSerialPorts(const std::string& devRoot, const std::string& sysfsRoot);
std::vector<std::string> FindUsbTmcInstruments(const std::string& sysfsRoot);
std::vector<std::string> FindVxi11Instruments(const std::vector<std::string>& targets, std::uint16_t portmapperPort,
                                              std::chrono::milliseconds wait);
std::vector<std::string> FindMdnsInstruments(std::chrono::milliseconds wait);

// Every source, the names `pattern` matches, sorted, each once.
std::vector<std::string> DiscoverResources(const ResourcePattern& pattern, const DiscoveryOptions& options);

}  // namespace hvzelta::visa
