// Matching USB instruments against a sysfs tree laid out the way the
// usbtmc driver publishes it, in a temporary folder.

#include "visa/usbtmc_device_finder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <tuple>

namespace hvzelta::visa {
namespace {

namespace fs = std::filesystem;

class UsbTmcFinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("hvzelta-sysfs-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    AddDevice("usbtmc0", "1-1", 0, "0957", "1755", "MY123", "Halvorn", "ZTA100");
    AddDevice("usbtmc1", "1-2", 1, "1234", "5678", "sn-9", "Halvorn", "ZTA400");
    AddDevice("usbtmc2", "1-2", 0, "1234", "5678", "sn-9", "Halvorn", "ZTA400");
  }
  void TearDown() override { fs::remove_all(root_); }

  void AddDevice(const std::string& node, const std::string& port, int interfaceNumber, const std::string& vendor,
                 const std::string& product, const std::string& serial, const std::string& manufacturer,
                 const std::string& model) {
    fs::path device = root_ / "devices" / port;
    fs::path interfaceDir = device / (port + ":1." + std::to_string(interfaceNumber));
    fs::create_directories(interfaceDir);
    Write(device / "idVendor", vendor);
    Write(device / "idProduct", product);
    Write(device / "serial", serial);
    Write(device / "manufacturer", manufacturer);
    Write(device / "product", model);
    Write(interfaceDir / "bInterfaceNumber", "0" + std::to_string(interfaceNumber));
    fs::create_directories(root_ / "class" / "usbmisc" / node);
    fs::create_directory_symlink(interfaceDir, root_ / "class" / "usbmisc" / node / "device");
  }
  static void Write(const fs::path& file, const std::string& value) { std::ofstream(file) << value << "\n"; }

  std::optional<UsbTmcDevice> Find(std::uint16_t vendor, std::uint16_t product, const std::string& serial,
                                   int interfaceNumber = -1) {
    return FindUsbTmcDevice(root_.string(), "/dev", vendor, product, serial, interfaceNumber);
  }

  fs::path root_;
};

TEST_F(UsbTmcFinderTest, MatchesIdentityAndInterfaceOnly) {
  auto found = Find(0x0957, 0x1755, "my123");
  ASSERT_TRUE(found);
  EXPECT_EQ(std::tie(found->node, found->manufacturer, found->product),
            std::make_tuple("/dev/usbtmc0", "Halvorn", "ZTA100"));

  // Two interfaces of one device: the lowest unless one is named.
  EXPECT_EQ(Find(0x1234, 0x5678, "SN-9")->node, "/dev/usbtmc2");
  EXPECT_EQ(Find(0x1234, 0x5678, "SN-9", 1)->node, "/dev/usbtmc1");
  EXPECT_EQ(Find(0x1234, 0x5678, "SN-9", 1)->interfaceNumber, 1);

  EXPECT_FALSE(Find(0x0957, 0x1755, "OTHER"));
  EXPECT_FALSE(Find(0x0958, 0x1755, "MY123"));
  EXPECT_FALSE(Find(0x1234, 0x5678, "SN-9", 3));
  EXPECT_FALSE(FindUsbTmcDevice((root_ / "absent").string(), "/dev", 0x0957, 0x1755, "MY123", -1));
}

}  // namespace
}  // namespace hvzelta::visa
