#include "visa/resource_name.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace hvzelta::visa {
namespace {

struct Accepted {
  const char* text;
  ResourceKind kind;
  const char* canonical;
  const char* host;
  int port;
  const char* device;
};

TEST(ResourceName, AcceptsThePublishedFormsWithTheirDefaults) {
  const Accepted cases[] = {
      {"TCPIP0::192.168.1.5::5025::SOCKET", ResourceKind::TcpipSocket, "TCPIP0::192.168.1.5::5025::SOCKET",
       "192.168.1.5", 5025, ""},
      {"tcpip::zta.lab::5025::socket", ResourceKind::TcpipSocket, "TCPIP0::zta.lab::5025::SOCKET", "zta.lab", 5025,
       ""},
      {"TCPIP::zta.lab::INSTR", ResourceKind::Vxi11, "TCPIP0::zta.lab::inst0::INSTR", "zta.lab", 0, "inst0"},
      {"TCPIP2::zta.lab", ResourceKind::Vxi11, "TCPIP2::zta.lab::inst0::INSTR", "zta.lab", 0, "inst0"},
      {"TCPIP::zta.lab::INST1::INSTR", ResourceKind::Vxi11, "TCPIP0::zta.lab::inst1::INSTR", "zta.lab", 0, "inst1"},
      {"TCPIP::127.0.0.1,40001::INSTR", ResourceKind::Vxi11, "TCPIP0::127.0.0.1,40001::inst0::INSTR", "127.0.0.1",
       40001, "inst0"},
      {"TCPIP::gw::gpib0,5::INSTR", ResourceKind::Vxi11, "TCPIP0::gw::gpib0,5::INSTR", "gw", 0, "gpib0,5"},
      {"TCPIP::zta.lab::hislip0::INSTR", ResourceKind::Hislip, "TCPIP0::zta.lab::hislip0::INSTR", "zta.lab", 4880,
       "hislip0"},
      {"TCPIP::zta.lab::HiSLIP0,4881::INSTR", ResourceKind::Hislip, "TCPIP0::zta.lab::hislip0,4881::INSTR",
       "zta.lab", 4881, "hislip0"},
      {"TCPIP::[fe80::1%eth0]::hislip0", ResourceKind::Hislip, "TCPIP0::[fe80::1%eth0]::hislip0::INSTR",
       "fe80::1%eth0", 4880, "hislip0"},
      {"  TCPIP::[::1]::5025::SOCKET\n", ResourceKind::TcpipSocket, "TCPIP0::[::1]::5025::SOCKET", "::1", 5025, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto name = ParseResourceName(c.text);
    ASSERT_TRUE(name);
    EXPECT_EQ(name->kind, c.kind);
    EXPECT_EQ(name->canonical, c.canonical);
    EXPECT_EQ(name->host, c.host);
    EXPECT_EQ(name->port, c.port);
    EXPECT_EQ(name->deviceName, c.device);
    EXPECT_EQ(name->interfaceType, VI_INTF_TCPIP);
  }
}

TEST(ResourceName, SerialUsbAndGpibNames) {
  auto byPath = ParseResourceName("ASRL/dev/ttyUSB0::INSTR");
  ASSERT_TRUE(byPath);
  EXPECT_EQ(std::tie(byPath->kind, byPath->serialPath, byPath->canonical),
            std::make_tuple(ResourceKind::Serial, "/dev/ttyUSB0", "ASRL/dev/ttyUSB0::INSTR"));
  auto byNumber = ParseResourceName("asrl1");
  ASSERT_TRUE(byNumber);
  EXPECT_EQ(std::tie(byNumber->serialPath, byNumber->board, byNumber->interfaceType, byNumber->canonical),
            std::make_tuple("/dev/ttyS0", 1, VI_INTF_ASRL, "ASRL1::INSTR"));
  // Two names of one port lock the same device.
  EXPECT_EQ(byNumber->LockKey(), ParseResourceName("ASRL/dev/ttyS0::INSTR")->LockKey());

  auto usb = ParseResourceName("usb0::0x1ab1::1234::SN-0042::INSTR");
  ASSERT_TRUE(usb);
  EXPECT_EQ(std::tie(usb->kind, usb->vendorId, usb->productId, usb->serialNumber, usb->usbInterface, usb->canonical),
            std::make_tuple(ResourceKind::UsbTmc, 0x1AB1, 1234, "SN-0042", -1, "USB0::0x1AB1::0x04D2::SN-0042::INSTR"));
  auto usbInterface = ParseResourceName("USB::0x1234::0x5678::SN::2");
  ASSERT_TRUE(usbInterface);
  EXPECT_EQ(usbInterface->usbInterface, 2);

  auto gpib = ParseResourceName("GPIB1::12::3::INSTR");
  ASSERT_TRUE(gpib);
  EXPECT_EQ(std::tie(gpib->kind, gpib->board, gpib->gpibPrimary, gpib->gpibSecondary),
            std::make_tuple(ResourceKind::Gpib, 1, 12, 3));
}

TEST(ResourceName, RejectsMalformedNamesAndSaysWhere) {
  const std::pair<const char*, std::size_t> rejected[] = {
      {"", 1},
      {"::", 1},
      {"TCPIP", 6},
      {"TCPIP::", 8},
      {"TCPIP::host::99999::SOCKET", 14},
      {"TCPIP::host::0::SOCKET", 14},
      {"TCPIP::host::SOCKET", 14},
      {"TCPIP::ho st::INSTR", 8},
      {"TCPIP::host::inst0::INSTR::extra", 21},
      {"TCPIP::host,0::INSTR", 13},
      {"TCPIP::host,1::hislip0::INSTR", 12},
      {"TCPIP::host::hislip::INSTR", 20},
      {"TCPIP::host::hislip0,70000::INSTR", 22},
      {"TCPIP::[fe80::1::INSTR", 8},
      {"TCPIP::[a%b]::INSTR", 8},
      {"TCPIPx::host::INSTR", 6},
      {"TCPIP99999::host::INSTR", 6},
      {"ASRL::INSTR", 5},
      {"ASRL1::SOCKET", 8},
      {"ASRL1::INSTR::INSTR", 15},
      {"USB::0x1234::0x5678::INSTR", 20},
      {"USB::0x12345::0x5678::SN::INSTR", 6},
      {"USB::0xZZ::0x5678::SN::INSTR", 6},
      {"USB::1::2::SN::256::INSTR", 16},
      {"GPIB::31::INSTR", 7},
      {"  VXI0::1::INSTR", 3},
      {"PXI0::1::INSTR", 1},
  };
  for (const auto& [text, where] : rejected) {
    SCOPED_TRACE(text);
    std::size_t failedAt = 0;
    EXPECT_FALSE(ParseResourceName(text, &failedAt));
    EXPECT_EQ(failedAt, where);
  }
  EXPECT_TRUE(LooksLikeAlias("MyPowerSource"));
  EXPECT_FALSE(LooksLikeAlias("TCPIP0"));
}

}  // namespace
}  // namespace hvzelta::visa
