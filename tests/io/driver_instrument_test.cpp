// Initialize against resources that cannot be opened, and the VISA library
// DriverSetup chooses. The driver over each transport the emulator serves is
// in tests/faults.

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "acpwr/halvorn_zelta.h"
#include "hvzelta/status.h"
#include "io/session_harness.h"
#include "visa/loopback_peer.h"
#include "zta_sim/emulator.h"

namespace hvzelta {
namespace {

using testing::LastError;

class DriverInstrumentTest : public ::testing::Test {
 protected:
  HRESULT Init(const std::string& resource, std::wstring_view options = L"") {
    Bstr name(std::wstring(resource.begin(), resource.end()));
    Bstr optionText(options);
    return driver_->Initialize(name.Get(), VARIANT_FALSE, VARIANT_FALSE, optionText.Get());
  }

  ComPtr<HalvornZelta> driver_ = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
};

TEST_F(DriverInstrumentTest, AFailedOpenNamesItsCause) {
  const std::string port = std::to_string(visa::testing::ClosedPort());
  const std::pair<std::string, std::string> cases[] = {
      {"TCPIP::127.0.0.1::" + port + "::SOCKET", "connection refused by 127.0.0.1:" + port + "."},
      {"TCPIP::127.0.0.1::hislip0," + port + "::INSTR", "connection refused by 127.0.0.1:" + port + "."},
      {"TCPIP::127.0.0.1::99999::SOCKET",
       "malformed resource string 'TCPIP::127.0.0.1::99999::SOCKET' at character 19."},
      {"NO::SUCH", "malformed resource string 'NO::SUCH' at character 1."},
      {"MyPowerSource", "no alias 'MyPowerSource' is defined, and the name is not a resource string."},
      {"ASRL/nonexistent/tty::INSTR",
       "the serial port /nonexistent/tty could not be opened: No such file or directory."},
  };
  for (const auto& [resource, cause] : cases) {
    EXPECT_EQ(Init(resource), E_HALVORNZELTA_IO_GENERAL) << resource;
    EXPECT_EQ(LastError(), "HalvornZelta: I/O error: Failed to open VISA resource.\r\n" + cause);
  }
}

TEST_F(DriverInstrumentTest, DriverSetupChoosesTheVisaLibrary) {
  zta_sim::Options options;
  options.hislip = true;
  zta_sim::Emulator emulator{options};
  const std::string resource = "TCPIP::127.0.0.1::hislip0," + std::to_string(emulator.Start().hislipPort) + "::INSTR";
  EXPECT_EQ(Init(resource, L"DriverSetup=VisaLibrary=/nonexistent/libvisa.so"), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_NE(LastError().find("'/nonexistent/libvisa.so' could not be loaded"), std::string::npos) << LastError();
  EXPECT_EQ(Init(resource, L"DriverSetup=VisaLibrary=builtin"), S_OK) << LastError();
  std::int16_t statusByte = -1;
  EXPECT_EQ(driver_->Io()->ReadStatusByte(&statusByte), S_OK) << "HiSLIP has a status byte";
}

}  // namespace
}  // namespace hvzelta
