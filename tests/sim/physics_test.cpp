// The physics of the output, measured over the raw socket.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "scpi_client.h"

namespace sim_test {
namespace {

using Output = EmulatorTest;

const std::vector<std::string> kQuantities = {
    "CURR",      "VOLT",           "POW",          "FREQ",         "CURR:AC",      "CURR:AMPL:MAX",
    "CURR:AMPL:MAX:HOLD", "CURR:CRES", "VOLT:AC", "POW:AC", "POW:AC:APP", "POW:AC:REAC", "POW:AC:PFAC"};

std::map<std::string, double> Acquire(ScpiClient& client) {
  std::string query = "INIT:ACQ";
  for (const std::string& q : kQuantities) query += ";:FETC:" + q + "?";
  std::istringstream reply(client.Query(query));
  std::map<std::string, double> values;
  std::string field;
  for (const std::string& q : kQuantities) {
    std::getline(reply, field, ';');
    values[q] = Real(field);
  }
  return values;
}

// NR3 replies carry nine significant digits.
void ExpectClose(double actual, double expected, const char* what) {
  EXPECT_NEAR(actual, expected, 1e-7 * std::max(1.0, std::fabs(expected))) << what;
}

TEST_F(Output, MeasurementsAgreeWithEachOtherAndTheSettingsForAnyLoad) {
  const struct {
    zta_sim::Load load;
    std::string coupling;
  } cases[] = {{{50.0, 0.0, std::numbers::sqrt2}, "AC"}, {{30.0, 0.05, std::numbers::sqrt2}, "AC"},
               {{100.0, 0.0, 3.0}, "AC"},                {{60.0, 0.02, 2.0}, "ACDC"},
               {{40.0, 0.0, std::numbers::sqrt2}, "DC"}, {{80.0, 0.1, 1.2}, "EXTAC"},
               {{75.0, 0.01, 2.5}, "EXTDC"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.coupling + " R=" + std::to_string(c.load.resistanceOhm) + " L=" +
                 std::to_string(c.load.inductanceHenry) + " CF=" + std::to_string(c.load.crestFactor));
    emulator->SetLoad(c.load);
    client.Write("*RST;:VOLT 120;:VOLT:OFFS 30;:FREQ 50;:OUTP:COUP " + c.coupling + ";:OUTP 1");
    const auto m = Acquire(client);

    const bool ac = c.coupling != "DC";
    const bool dc = c.coupling == "DC" || c.coupling == "ACDC" || c.coupling == "EXTDC";
    const double r = c.load.resistanceOhm;
    const double z = std::hypot(r, 2 * std::numbers::pi * 50 * c.load.inductanceHenry);
    const double iac = (ac ? 120.0 : 0.0) / z;
    const double idc = (dc ? 30.0 : 0.0) / r;
    ExpectClose(m.at("VOLT:AC"), ac ? 120.0 : 0.0, "AC voltage");
    ExpectClose(m.at("VOLT"), dc ? 30.0 : 0.0, "DC voltage");
    ExpectClose(m.at("CURR:AC"), iac, "AC current");
    ExpectClose(m.at("CURR"), idc, "DC current");
    ExpectClose(m.at("FREQ"), ac ? 50.0 : 0.0, "frequency");
    ExpectClose(m.at("POW:AC:PFAC"), ac ? r / z * std::min(1.0, std::numbers::sqrt2 / c.load.crestFactor) : 0.0,
                "power factor");
    ExpectClose(m.at("POW:AC:APP"), m.at("VOLT:AC") * m.at("CURR:AC"), "S = V I");
    ExpectClose(m.at("POW:AC"), m.at("VOLT:AC") * m.at("CURR:AC") * m.at("POW:AC:PFAC"), "P = V I PF");
    ExpectClose(m.at("POW:AC:REAC"), std::sqrt(std::pow(m.at("POW:AC:APP"), 2) - std::pow(m.at("POW:AC"), 2)), "Q");
    ExpectClose(m.at("POW"), m.at("VOLT") * m.at("CURR"), "DC power");
    const double peak = std::fabs(idc) + c.load.crestFactor * iac;
    ExpectClose(m.at("CURR:AMPL:MAX"), peak, "peak current");
    ExpectClose(m.at("CURR:AMPL:MAX:HOLD"), peak, "peak hold");
    ExpectClose(m.at("CURR:CRES"), peak / std::hypot(idc, iac), "crest factor");
  }
}

TEST_F(Output, OverPowerAndPeakOverloadAreQuestionable) {
  emulator->SetLoad({40.0, 0.0, 5.0});  // 155 V: 3.9 A rms, 600 VA, 19 A peak on a 500 VA model
  client.Write("VOLT 155;:OUTP 1");
  EXPECT_EQ(client.Query("STAT:QUES:COND?"), std::to_string(0x20 | 0x1000));
  client.Write("VOLT 50");
  EXPECT_EQ(client.Query("STAT:QUES:COND?"), "0");
}

TEST_F(Output, TheRegulatingCurrentLimitLowersTheVoltageAndFlagsOverCurrent) {
  client.Write("VOLT 120;:CURR 1;:OUTP 1");
  auto m = Acquire(client);
  ExpectClose(m.at("CURR:AC"), 1.0, "limited current");
  ExpectClose(m.at("VOLT:AC"), 50.0, "lowered voltage");
  EXPECT_EQ(client.Query("VOLT?;:OUTP?"), "+1.20000000E+02;1");  // the setting stands
  EXPECT_EQ(client.Query("STAT:QUES:COND?;:STAT:OPER:COND?"), "2;1024");
  EXPECT_EQ(client.Query("STAT:QUES?;QUES?"), "2;0");  // the event latches once

  client.Write("CURR 3");
  ExpectClose(Acquire(client).at("CURR:AC"), 2.4, "free current");
  EXPECT_EQ(client.Query("STAT:QUES:COND?;:STAT:OPER:COND?"), "0;256");

  // The DC limit works the same way on the offset.
  client.Write("OUTP:COUP DC;:VOLT:OFFS -100;:CURR:OFFS 0.5");
  m = Acquire(client);
  ExpectClose(m.at("CURR"), -0.5, "limited DC current");
  ExpectClose(m.at("VOLT"), -25.0, "lowered DC voltage");
}

TEST_F(Output, TheTrippingCurrentLimitSwitchesTheOutputOffUntilCleared) {
  client.Write("VOLT 120;:CURR 1;:CURR:PROT:STAT 1;:OUTP 1");
  EXPECT_EQ(client.Query("OUTP?;:STAT:QUES:COND?"), "0;2");
  EXPECT_EQ(Acquire(client).at("CURR:AC"), 0.0);
  client.Write("OUTP 1");
  EXPECT_EQ(client.NextError(), "-221,\"Settings conflict\"");

  client.Write("OUTP:PROT:CLE");  // still over the limit: trips again
  EXPECT_EQ(client.Query("OUTP?"), "0");
  client.Write("CURR 3;:OUTP:PROT:CLE");
  EXPECT_EQ(client.Query("OUTP?;:STAT:QUES:COND?"), "1;0");
  ExpectClose(Acquire(client).at("CURR:AC"), 2.4, "current after the clear");

  emulator->SetLoad({10.0, 0.0, std::numbers::sqrt2});  // rewired: 12 A
  EXPECT_EQ(client.Query("OUTP?"), "0");
}

TEST_F(Output, PeakHoldKeepsTheHighestPeakUntilCleared) {
  client.Write("VOLT 120;:OUTP 1;:VOLT 60");
  auto m = Acquire(client);
  ExpectClose(m.at("CURR:AMPL:MAX"), 1.2 * std::numbers::sqrt2, "peak");
  ExpectClose(m.at("CURR:AMPL:MAX:HOLD"), 2.4 * std::numbers::sqrt2, "held peak");
  client.Write("SENS:CURR:HOLD:CLE");
  ExpectClose(Acquire(client).at("CURR:AMPL:MAX:HOLD"), 1.2 * std::numbers::sqrt2, "cleared hold");
  client.Write("*RST");
  EXPECT_EQ(Acquire(client).at("CURR:AMPL:MAX:HOLD"), 0.0);
}

TEST(Noise, IsSeededAndNarrowedByAveraging) {
  const auto range = [](std::uint64_t seed, int average) {
    zta_sim::Options options;
    options.noise = 0.01;
    options.seed = seed;
    RunningEmulator emulator(options);
    ScpiClient client(emulator.port());
    client.Write("VOLT 100;:OUTP 1;:SENS:AVER " + std::to_string(average));
    double low = 1000.0, high = 0.0;
    for (int i = 0; i < 40; ++i) {
      const auto m = Acquire(client);
      ExpectClose(m.at("POW:AC"), m.at("VOLT:AC") * m.at("CURR:AC") * m.at("POW:AC:PFAC"), "noisy P = V I PF");
      low = std::min(low, m.at("VOLT:AC"));
      high = std::max(high, m.at("VOLT:AC"));
    }
    return high - low;
  };
  const double spread = range(7, 1);
  EXPECT_EQ(spread, range(7, 1));
  EXPECT_GT(spread, 0.3);  // 1 % of 100 V
  EXPECT_LT(range(8, 16), spread / 2);
}

}  // namespace
}  // namespace sim_test
