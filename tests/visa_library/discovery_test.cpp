// viFindRsrc's parts: the pattern language, and each place instruments are
// found, against a made-up /dev and /sys and the emulator's port-mapper.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "visa/resource_discovery.h"
#include "visa/resource_pattern.h"
#include "visa/usbtmc_device_finder.h"
#include "zta_sim/emulator.h"

namespace {

using namespace hvzelta::visa;
namespace fs = std::filesystem;

struct PatternCase {
  const char* pattern;
  const char* name;
  bool matches;
};

TEST(ResourcePatternTest, MatchesWholeNamesWithoutRegardToCase) {
  const std::string manyAs(200, 'a');
  const PatternCase cases[] = {
      {"?*INSTR", "TCPIP0::192.0.2.7::inst0::INSTR", true}, {"?*INSTR", "TCPIP0::192.0.2.7::5025::SOCKET", false},
      {"?*instr", "ASRL1::INSTR", true}, {"ASRL[0-9]*::?*INSTR", "ASRL12::INSTR", true},
      {"ASRL[0-9]*::?*INSTR", "ASRL/dev/ttyUSB0::INSTR", false}, {"ASRL[^0-9]?*", "ASRL/dev/ttyUSB0::INSTR", true},
      {"TCPIP?*|USB?*", "USB0::0x0957::0x1755::MY1::INSTR", true}, {"TCPIP?*|USB?*", "ASRL1::INSTR", false},
      {"(GPIB|TCPIP)[0-9]+::?*", "TCPIP::host::INSTR", false},  // "+" wants a digit
      {"(GPIB|TCPIP)[0-9]+::?*", "tcpip12::host::INSTR", true}, {"ASRL1\\*", "ASRL1*", true},
      {"ASRL1\\*", "ASRL11", false}, {"?", "", false},
      {"((a*)*)*b", manyAs.c_str(), false},  // no blow-up on nested repetition
  };
  for (const PatternCase& c : cases) {
    std::optional<ResourcePattern> pattern;
    ASSERT_EQ(ResourcePattern::Compile(c.pattern, pattern), VI_SUCCESS) << c.pattern;
    EXPECT_EQ(pattern->Matches(c.name), c.matches) << c.pattern << " on " << c.name;
  }
}

TEST(ResourcePatternTest, RefusesMalformedPatternsAndAttributeExpressions) {
  const std::pair<std::string, ViStatus> cases[] = {
      {"(TCPIP", VI_ERROR_INV_EXPR},   {"TCPIP)", VI_ERROR_INV_EXPR},  {"*INSTR", VI_ERROR_INV_EXPR},
      {"ASRL[9-0]", VI_ERROR_INV_EXPR}, {"ASRL[12", VI_ERROR_INV_EXPR}, {"ASRL\\", VI_ERROR_INV_EXPR},
      {"?*{VI_ATTR_INTF_NUM==0", VI_ERROR_INV_EXPR},
      {"?*INSTR{VI_ATTR_INTF_NUM==0}", VI_ERROR_NSUP_OPER},
      {std::string(ResourcePattern::kMaxLength + 1, '?'), VI_ERROR_INV_EXPR},
      {std::string(100, '(') + std::string(100, ')'), VI_ERROR_INV_EXPR},
  };
  for (const auto& [text, status] : cases) {
    std::optional<ResourcePattern> pattern;
    EXPECT_EQ(ResourcePattern::Compile(text, pattern), status) << text;
    EXPECT_FALSE(pattern.has_value());
  }
}

class LocalDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("hvzvisa-discovery-" + std::to_string(::getpid()));
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
  }
  // A USB device with one interface of class `interfaceClass`.
  fs::path UsbInterface(const std::string& device, const std::string& number, const std::string& interfaceClass) {
    const fs::path deviceDir = root_ / "sys/devices/usb1" / device;
    Write(deviceDir / "idVendor", "0957");
    Write(deviceDir / "idProduct", "1755");
    Write(deviceDir / "serial", "MY:4 2");  // what would end a resource name early is left out
    const fs::path interfaceDir = deviceDir / (device + ":1." + number);
    Write(interfaceDir / "bInterfaceClass", interfaceClass);
    Write(interfaceDir / "bInterfaceSubClass", "03");
    Write(interfaceDir / "bInterfaceNumber", "0" + number);
    fs::create_directories(root_ / "sys/bus/usb/devices");
    fs::create_symlink(interfaceDir, root_ / "sys/bus/usb/devices" / interfaceDir.filename());
    return interfaceDir;
  }

  fs::path root_;
};

TEST_F(LocalDevicesTest, UsbTmcInterfacesOfTheClassOrServedByTheDriver) {
  UsbInterface("1-1", "0", "fe");
  UsbInterface("1-2", "0", "ff");  // vendor-specific: no instrument
  const fs::path served = UsbInterface("1-3", "2", "ff");
  fs::create_directories(root_ / "sys/class/usbmisc/usbtmc0");
  fs::create_symlink(served, root_ / "sys/class/usbmisc/usbtmc0/device");
  EXPECT_EQ(FindUsbTmcInstruments((root_ / "sys").string()),
            (std::vector<std::string>{"USB0::0x0957::0x1755::MY42::INSTR", "USB0::0x0957::0x1755::MY42::2::INSTR"}));
  EXPECT_TRUE(FindUsbTmcInstruments((root_ / "absent").string()).empty());
}

// A USB resource opens the node of the device's lowest interface, unless its name gives one.
TEST_F(LocalDevicesTest, UsbTmcNodeOfAResource) {
  const fs::path sys = root_ / "sys";
  for (const auto& [node, number] : {std::pair{"usbtmc0", "2"}, {"usbtmc1", "1"}}) {
    fs::create_directories(sys / "class/usbmisc" / node);
    fs::create_symlink(UsbInterface("1-1", number, "fe"), sys / "class/usbmisc" / node / "device");
  }
  Write(sys / "devices/usb1/1-1/product", "ZTA100");
  const auto find = [&](std::uint16_t vendor, const std::string& serial, int interfaceNumber = -1) {
    return FindUsbTmcDevice(sys.string(), "/dev", vendor, 0x1755, serial, interfaceNumber);
  };
  const auto lowest = find(0x0957, "my:4 2");
  ASSERT_TRUE(lowest);
  EXPECT_EQ(std::tie(lowest->node, lowest->interfaceNumber, lowest->product),
            std::make_tuple("/dev/usbtmc1", 1, "ZTA100"));
  EXPECT_EQ(find(0x0957, "MY:4 2", 2)->node, "/dev/usbtmc0");
  EXPECT_FALSE(find(0x0957, "OTHER"));
  EXPECT_FALSE(find(0x0958, "MY:4 2"));
  EXPECT_FALSE(find(0x0957, "MY:4 2", 3));
  EXPECT_FALSE(FindUsbTmcDevice((root_ / "absent").string(), "/dev", 0x0957, 0x1755, "MY:4 2", -1));
}

TEST_F(LocalDevicesTest, SerialPortsByFamily) {
  for (const char* file : {"ttyS3", "ttyS4", "ttyS5", "ttyUSB0", "ttyACM1", "ttyUSBx", "ttyS123456", "tty0"})
    Write(root_ / "dev" / file, "");
  Write(root_ / "sys/class/tty/ttyS3/type", "4");  // a 16550A
  Write(root_ / "sys/class/tty/ttyS4/type", "0");  // no UART
  std::vector<std::string> found = FindSerialPorts((root_ / "dev").string(), (root_ / "sys").string());
  std::sort(found.begin(), found.end());
  const std::string dev = (root_ / "dev").string();
  EXPECT_EQ(found, (std::vector<std::string>{"ASRL" + dev + "/ttyACM1::INSTR", "ASRL" + dev + "/ttyUSB0::INSTR",
                                             "ASRL4::INSTR"}));
}

// The services avahi-browse resolves become resource names; a line of
// another kind, or with a port no service has, names none.
TEST_F(LocalDevicesTest, MdnsServicesAvahiResolves) {
  const fs::path browser = root_ / "bin/avahi-browse";
  Write(browser,
        "#!/bin/sh\ncase \"$5\" in\n"
        "_lxi._tcp) echo '=;eth0;IPv4;Bench;_lxi._tcp;local;bench.local;192.0.2.7;80;' ;;\n"
        "_hislip._tcp) echo '=;eth0;IPv6;Bench;_hislip._tcp;local;bench.local;fe80::1;4880;'\n"
        "  echo '=;eth0;IPv4;Other;_hislip._tcp;local;other.local;192.0.2.8;4881;' ;;\n"
        "*) echo '+;eth0;IPv4;Bench;_scpi-raw._tcp;local'\n"
        "  echo '=;eth0;IPv4;Bench;_scpi-raw._tcp;local;bench.local;192.0.2.7;5025;'\n"
        "  echo '=;eth0;IPv4;Bad;_scpi-raw._tcp;local;bad.local;192.0.2.9;99999;' ;;\nesac");
  fs::permissions(browser, fs::perms::owner_all);
  const std::string path = ::getenv("PATH");
  ::setenv("PATH", (browser.parent_path().string() + ":" + path).c_str(), 1);
  const std::vector<std::string> found = FindMdnsInstruments(std::chrono::milliseconds(10000));
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(found, (std::vector<std::string>{"TCPIP0::192.0.2.7::5025::SOCKET", "TCPIP0::192.0.2.7::inst0::INSTR",
                                             "TCPIP0::192.0.2.8::hislip0,4881::INSTR",
                                             "TCPIP0::[fe80::1]::hislip0::INSTR"}));
}

TEST(Vxi11DiscoveryTest, TheEmulatorsPortMapperAnswersOnLoopback) {
  zta_sim::Options options;
  options.socket = false;
  options.vxi11 = true;
  zta_sim::Emulator emulator(options);
  const zta_sim::Endpoints endpoints = emulator.Start();
  const std::string expected = "TCPIP0::127.0.0.1," + std::to_string(endpoints.vxi11Port) + "::inst0::INSTR";
  EXPECT_EQ(FindVxi11Instruments({"not-an-address", "127.0.0.1/33", "127.0.0.1"}, endpoints.portmapperPort,
                                 std::chrono::milliseconds(1000)),
            std::vector<std::string>{expected});

  DiscoveryOptions discovery;
  discovery.devRoot = discovery.sysfsRoot = "/nonexistent";
  discovery.mdns = false;
  discovery.vxi11Targets = {"127.0.0.1"};
  discovery.portmapperPort = endpoints.portmapperPort;
  std::optional<ResourcePattern> pattern;
  ASSERT_EQ(ResourcePattern::Compile("TCPIP?*INSTR", pattern), VI_SUCCESS);
  EXPECT_EQ(DiscoverResources(*pattern, discovery), std::vector<std::string>{expected});
  ASSERT_EQ(ResourcePattern::Compile("ASRL?*", pattern), VI_SUCCESS);
  EXPECT_TRUE(DiscoverResources(*pattern, discovery).empty());
}

}  // namespace
