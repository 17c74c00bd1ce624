// Initialize, the status poll, identity and utility of the driver against
// the emulated instrument, over each transport the emulator serves.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <utility>

#include "acpwr/halvorn_zelta.h"
#include "hvzelta/status.h"
#include "io/session_harness.h"
#include "io/visa_com_session.h"
#include "visa/builtin_visa.h"
#include "visa/loopback_peer.h"
#include "zta_sim/emulator.h"

namespace hvzelta {
namespace {

using testing::LastError;

std::string Narrow(const Bstr& text) { return std::string(text.View().begin(), text.View().end()); }
std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

enum class Transport { Socket, Vxi11, Serial, HiSlip };

std::string ResourceOf(Transport transport, const zta_sim::Endpoints& endpoints) {
  switch (transport) {
    case Transport::Vxi11: return "TCPIP::127.0.0.1," + std::to_string(endpoints.vxi11Port) + "::INSTR";
    case Transport::Serial: return "ASRL" + endpoints.serialPath + "::INSTR";
    case Transport::HiSlip: return "TCPIP::127.0.0.1::hislip0," + std::to_string(endpoints.hislipPort) + "::INSTR";
    case Transport::Socket: break;
  }
  return "TCPIP::127.0.0.1::" + std::to_string(endpoints.socketPort) + "::SOCKET";
}

class DriverInstrumentTest : public ::testing::Test {
 protected:
  void Start(zta_sim::Options options, Transport transport = Transport::Socket) {
    options.serial = transport == Transport::Serial;
    options.vxi11 = transport == Transport::Vxi11;
    options.hislip = transport == Transport::HiSlip;
    emulator_ = std::make_unique<zta_sim::Emulator>(std::move(options));
    endpoints_ = emulator_->Start();
    resource_ = ResourceOf(transport, endpoints_);
  }

  HRESULT Init(std::wstring_view options, bool idQuery = true, bool reset = false) {
    Bstr name(Wide(resource_));
    Bstr optionText(options);
    return driver_->Initialize(name.Get(), ToVariantBool(idQuery), ToVariantBool(reset), optionText.Get());
  }

  // Sends a line outside the driver's exchanges, so that no poll sees it,
  // and waits until the instrument has taken it.
  void SendUnpolled(std::string_view command) {
    std::int32_t complete = 0;
    ASSERT_EQ(driver_->Io()->WriteStringNoPoll(command, true, kKeepTimeout), S_OK) << LastError();
    ASSERT_EQ(driver_->Io()->QueryNumber("*OPC?", complete, kKeepTimeout, Polling::Off), S_OK) << LastError();
  }

  std::pair<std::int32_t, std::string> ErrorQuery() {
    std::int32_t code = 7;
    Bstr message;
    EXPECT_EQ(driver_->ErrorQuery(&code, message.Out()), S_OK) << LastError();
    return {code, Narrow(message)};
  }

  std::unique_ptr<zta_sim::Emulator> emulator_;
  zta_sim::Endpoints endpoints_;
  std::string resource_;
  ComPtr<HalvornZelta> driver_ = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
};

class TransportTest : public DriverInstrumentTest, public ::testing::WithParamInterface<Transport> {
 protected:
  void SetUp() override {
    zta_sim::Options options;
    options.model = zta_sim::Model::ZTA200;
    Start(options, GetParam());
  }
};

TEST_P(TransportTest, IdentityAndUtilityAgainstTheInstrument) {
  ASSERT_EQ(Init(L"QueryInstrStatus=true", /*idQuery=*/true, /*reset=*/true), S_OK) << LastError();
  // What the instrument says of itself (the driver's own texts are constants).
  for (const auto& [getter, expected] : {std::pair{&HalvornZelta::get_InstrumentModel, "ZTA200"},
                                         std::pair{&HalvornZelta::get_InstrumentFirmwareRevision, "2.04"}}) {
    Bstr value;
    ASSERT_EQ((driver_.Get()->*getter)(value.Out()), S_OK) << expected;
    EXPECT_EQ(Narrow(value), expected);
  }
  EXPECT_EQ(driver_->SerialNumber(), "HZ2000417");
  std::int16_t statusByte = -1;
  const bool hasStatusByte = GetParam() == Transport::Vxi11 || GetParam() == Transport::HiSlip;
  EXPECT_EQ(driver_->Io()->ReadStatusByte(&statusByte), hasStatusByte ? S_OK : E_HALVORNZELTA_IO_GENERAL);

  EXPECT_EQ(driver_->Reset(), S_OK) << LastError();
  EXPECT_EQ(driver_->ResetWithDefaults(), S_OK) << LastError();
  EXPECT_EQ(driver_->Disable(), S_OK) << LastError();
  std::int32_t result = -1;
  Bstr message;
  ASSERT_EQ(driver_->SelfTest(&result, message.Out()), S_OK) << LastError();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Narrow(message), "Selftest passed");

  // The status poll would see the command error and consume it; the error
  // query turns polling off and reports the entry with its quotes stripped.
  SendUnpolled("BOGUS");
  EXPECT_EQ(ErrorQuery(), (std::pair<std::int32_t, std::string>{-113, "Undefined header"}));
  EXPECT_EQ(ErrorQuery(), (std::pair<std::int32_t, std::string>{0, "No error"}));
  VARIANT_BOOL polling = VARIANT_FALSE;
  ASSERT_EQ(driver_->get_QueryInstrumentStatus(&polling), S_OK);
  EXPECT_EQ(polling, VARIANT_TRUE);

  ASSERT_EQ(driver_->Close(), S_OK);
  ASSERT_EQ(Init(L""), S_OK) << "opens again after a close: " << LastError();
  EXPECT_EQ(driver_->Close(), S_OK);
}

std::string TransportName(const ::testing::TestParamInfo<Transport>& transport) {
  constexpr std::array<const char*, 4> kNames{"Socket", "Vxi11", "Serial", "HiSlip"};
  return kNames[static_cast<std::size_t>(transport.param)];
}

INSTANTIATE_TEST_SUITE_P(Transports, TransportTest,
                         ::testing::Values(Transport::Socket, Transport::Vxi11, Transport::Serial, Transport::HiSlip),
                         TransportName);

// Every failed open is the I/O error, and its added text says why.
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
    resource_ = resource;
    EXPECT_EQ(Init(L""), E_HALVORNZELTA_IO_GENERAL) << resource;
    EXPECT_EQ(LastError(), "HalvornZelta: I/O error: Failed to open VISA resource.\r\n" + cause);
  }
}

TEST_F(DriverInstrumentTest, DriverSetupChoosesTheVisaLibrary) {
  Start({});
  EXPECT_EQ(Init(L"DriverSetup=VisaLibrary=/nonexistent/libvisa.so"), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_NE(LastError().find("'/nonexistent/libvisa.so' could not be loaded"), std::string::npos) << LastError();
  EXPECT_EQ(Init(L"DriverSetup=VisaLibrary=builtin"), S_OK) << LastError();
}

}  // namespace
}  // namespace hvzelta
