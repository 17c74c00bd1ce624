// The built-in VISA library opens the emulator over HiSLIP and VXI-11 and
// runs the operations the I/O session relies on beside the plain exchanges
// the fault suite makes. What only a hostile or broken peer does is in
// tests/visa and tests/sim.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "visa/builtin_visa_test.h"
#include "zta_sim/emulator.h"

namespace {

using namespace hvzelta::visa;

class LanEmulatorTest : public hvzelta::visa::testing::BuiltinVisaTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool hislip() const { return GetParam(); }
  void SetUp() override {
    zta_sim::Options options;
    options.socket = false;
    options.hislip = hislip();
    options.vxi11 = !hislip();
    emulator_ = std::make_unique<zta_sim::Emulator>(options);
    const zta_sim::Endpoints endpoints = emulator_->Start();
    BuiltinVisaTest::SetUp();
    const std::string name = hislip() ? "TCPIP::127.0.0.1::hislip0," + std::to_string(endpoints.hislipPort) + "::INSTR"
                                      : "TCPIP::127.0.0.1," + std::to_string(endpoints.vxi11Port) + "::INSTR";
    ASSERT_EQ(visa_.Open(rm_, name.c_str(), VI_NO_LOCK, 2000, &vi_), VI_SUCCESS);
  }
  std::string Query(std::string_view text) {
    EXPECT_EQ(WriteText(vi_, text), VI_SUCCESS);
    const auto [status, reply] = Read(vi_);
    EXPECT_EQ(status, VI_SUCCESS) << text;
    return reply;
  }

  std::unique_ptr<zta_sim::Emulator> emulator_;
  ViSession vi_ = VI_NULL;
};

TEST_P(LanEmulatorTest, QueriesReadsCutByTheCountStatusByteClearTriggerAndLocks) {
  ViBoolean isHislip = VI_FALSE;
  EXPECT_EQ(visa_.GetAttribute(vi_, VI_ATTR_TCPIP_IS_HISLIP, &isHislip), VI_SUCCESS);
  EXPECT_EQ(isHislip, hislip() ? VI_TRUE : VI_FALSE);
  EXPECT_EQ(WriteText(vi_, "*IDN?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi_, 8), Reply(VI_SUCCESS_MAX_CNT, "Halvorn,"));
  EXPECT_EQ(Read(vi_), Reply(VI_SUCCESS, "ZTA100,HZ1000417,2.04\n"));  // END came with the rest

  EXPECT_EQ(WriteText(vi_, "*CLS;*IDN?\n"), VI_SUCCESS);
  ViUInt16 stb = 0;
  EXPECT_EQ(visa_.ReadSTB(vi_, &stb), VI_SUCCESS);
  EXPECT_EQ(stb, 0x10);  // message available
  EXPECT_EQ(visa_.Clear(vi_), VI_SUCCESS);
  EXPECT_EQ(visa_.ReadSTB(vi_, &stb), VI_SUCCESS);
  EXPECT_EQ(stb, 0);
  EXPECT_EQ(Query("*OPC?\n"), "1\n");  // the cleared reply is not taken for this one

  EXPECT_EQ(WriteText(vi_, "TRIG:TRAN:SOUR BUS;:VOLT:TRIG 42;:INIT:TRAN\n"), VI_SUCCESS);
  EXPECT_EQ(visa_.AssertTrigger(vi_, VI_TRIG_PROT_DEFAULT), VI_SUCCESS);
  EXPECT_EQ(Query("VOLT?;:FREQ?\n"), "+4.20000000E+01;+6.00000000E+01\n");

  EXPECT_EQ(visa_.Lock(vi_, VI_EXCLUSIVE_LOCK, 1000, nullptr, nullptr), VI_SUCCESS);
  EXPECT_EQ(Query("*OPC?\n"), "1\n");
  EXPECT_EQ(visa_.Unlock(vi_), VI_SUCCESS);
  char key[VI_FIND_BUFLEN] = {};
  EXPECT_EQ(visa_.Lock(vi_, VI_SHARED_LOCK, 1000, "bench", key), VI_SUCCESS);
  EXPECT_EQ(visa_.Unlock(vi_), VI_SUCCESS);
  EXPECT_EQ(Query(":SYST:ERR?\n"), "0,\"No error\"\n");
}

INSTANTIATE_TEST_SUITE_P(Transports, LanEmulatorTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& transport) { return transport.param ? "HiSlip" : "Vxi11"; });

}  // namespace
