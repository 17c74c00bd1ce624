// The commands of the instrument over the raw socket.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "scpi_client.h"

namespace sim_test {
namespace {

using Settings = EmulatorTest;
using CommonCommands = EmulatorTest;

using Exchanges = std::vector<std::pair<std::string, std::string>>;  // sent, answered

TEST_F(Settings, NumbersStayWithinTheirLimitsWhichTheyReport) {
  const struct {
    std::string header, longHeader;
    double value, min, max, reset, outside;
  } cases[] = {
      {"VOLT", "SOURCE1:VOLTAGE:LEVEL:IMMEDIATE:AMPLITUDE", 120, 0, 155, 0, 155.5},
      {"VOLT:OFFS:TRIG", "VOLTAGE:OFFSET:TRIGGERED", 5, -217, 217, 0, -300},
      {"FREQ", "FREQUENCY:CW", 50.5, 40, 500, 60, 39.9},
      {"CURR:OFFS", "CURRENT:OFFSET", 1.5, 0, 4, 4, -1},
      {"TRIG:SYNC:PHAS", "TRIGGER:SYNCHRONOUS:PHASE", 90, 0, 359.9, 0, 360},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    client.Write("*RST;*CLS");
    EXPECT_DOUBLE_EQ(Real(client.Query(c.header + "?")), c.reset);
    client.Write(c.header + " " + std::to_string(c.value));
    EXPECT_DOUBLE_EQ(Real(client.Query(c.longHeader + "?")), c.value);
    EXPECT_DOUBLE_EQ(Real(client.Query(c.header + "? MIN")), c.min);
    EXPECT_DOUBLE_EQ(Real(client.Query(c.header + "? maximum")), c.max);
    EXPECT_DOUBLE_EQ(Real(client.Query(c.header + "? Def")), c.reset);
    client.Write(c.header + " " + std::to_string(c.outside));
    EXPECT_EQ(client.NextError(), "-222,\"Data out of range\"");
    EXPECT_DOUBLE_EQ(Real(client.Query(c.header + "?")), c.value);
    client.Write(c.longHeader + " MAX");
    EXPECT_DOUBLE_EQ(Real(client.Query(c.header + "?")), c.max);
    client.Write(c.header + " MIN");
    EXPECT_DOUBLE_EQ(Real(client.Query(c.header + "?")), c.min);
    client.Write(c.header + " ON;:" + c.header);
    EXPECT_EQ(client.NextError(), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(client.NextError(), "-109,\"Missing parameter\"");
    EXPECT_EQ(client.NextError(), "0,\"No error\"");
  }
}

TEST_F(Settings, NumbersTakeUnitsButNotStringsOrBlocks) {
  client.Write("VOLT 1.2e2 V;:FREQ 0.4KHZ;:CURR 1500 mA");
  EXPECT_EQ(client.Query("VOLT?;:FREQ?;:CURR?"), "+1.20000000E+02;+4.00000000E+02;+1.50000000E+00");
  for (const auto& [sent, error] : Exchanges{{"VOLT 10 A", "-131,\"Invalid suffix\""},
                                             {"FREQ 'fifty'", "-158,\"String data not allowed\""},
                                             {"FREQ #14abcd", "-168,\"Block data not allowed\""}}) {
    client.Write(sent);
    EXPECT_EQ(client.NextError(), error);
  }
  EXPECT_EQ(client.Query("FREQ?"), "+4.00000000E+02");
}

TEST_F(Settings, TheVoltageRangeIsTheSmallestThatHoldsTheLevelAndClampsTheVoltages) {
  EXPECT_EQ(client.Query("VOLT:RANG?"), "+1.55000000E+02");
  for (const auto& [request, range] : Exchanges{{"200", "+3.10000000E+02"}, {"155", "+1.55000000E+02"},
                                                {"155.5", "+3.10000000E+02"}, {"MIN", "+1.55000000E+02"},
                                                {"MAX", "+3.10000000E+02"}}) {
    client.Write("VOLT:RANG " + request);
    EXPECT_EQ(client.Query("VOLT:RANG?"), range) << request;
  }
  client.Write("VOLT:RANG 311");
  EXPECT_EQ(client.NextError(), "-222,\"Data out of range\"");
  EXPECT_EQ(client.Query("VOLT:RANG? MIN;RANG? MAX"), "+1.55000000E+02;+3.10000000E+02");

  client.Write("VOLT 300;:VOLT:OFFS 400");
  EXPECT_EQ(client.Query("VOLT? MAX"), "+3.10000000E+02");
  client.Write("VOLT:RANG 155");
  EXPECT_EQ(client.Query("VOLT?;:VOLT:OFFS?"), "+1.55000000E+02;+2.17000000E+02");
}

TEST_F(Settings, WordsAndSwitchesTakeEitherFormInAnyCase) {
  const Exchanges kSwitch = {{"ON", "1"}, {"off", "0"}, {"1", "1"}, {"0.4", "0"}, {"-2", "1"}, {"0", "0"}};
  const struct {
    std::string header, reset;
    Exchanges words;
    bool numbersRefused;
  } cases[] = {
      {"OUTP:COUP", "AC", {{"dc", "DC"}, {"ACDC", "ACDC"}, {"extac", "EXTAC"}, {"EXTDC", "EXTDC"}, {"Ac", "AC"}}, true},
      {"TRIG:SYNC:SOUR", "IMM", {{"PHASE", "PHAS"}, {"imm", "IMM"}, {"phas", "PHAS"}}, true},
      {"TRIG:TRAN:SOUR", "IMM", {{"BUS", "BUS"}, {"IMMEDIATE", "IMM"}, {"bus", "BUS"}}, true},
      {"DISP:AMM", "RMS", {{"AVG", "AVG"}, {"peak", "PEAK"}, {"WATT", "WATT"}}, true},
      {"OUTP1:STAT", "0", kSwitch, false},
      {"CURR:PROT:STAT", "0", kSwitch, false},
      {"INIT:CONT:ACQ", "0", kSwitch, false},
      {"SENS:AVER", "1", {{"2", "2"}, {"4", "4"}, {"8", "8"}, {"16", "16"}, {"1", "1"}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    client.Write("*RST");
    EXPECT_EQ(client.Query(c.header + "?"), c.reset);
    for (const auto& [sent, answered] : c.words) {
      client.Write(c.header + " " + sent);
      EXPECT_EQ(client.Query(c.header + "?"), answered) << sent;
    }
    client.Write(c.header + " MAYBE");
    EXPECT_EQ(client.NextError(), "-224,\"Illegal parameter value\"");
    if (c.numbersRefused) {
      client.Write(c.header + " 1");
      EXPECT_EQ(client.NextError(), "-104,\"Data type error\"");
    }
    EXPECT_EQ(client.Query(c.header + "?"), c.words.back().second);
  }
  // Averaging takes powers of two up to sixteen.
  client.Write("SENS:AVER 3;AVER 32");
  EXPECT_EQ(client.NextError(), "-224,\"Illegal parameter value\"");
  EXPECT_EQ(client.NextError(), "-222,\"Data out of range\"");
  EXPECT_EQ(client.Query("SENS:AVER? MIN;AVER? MAX"), "1;16");
}

TEST_F(CommonCommands, IdentifyTestAndCompleteOperations) {
  EXPECT_TRUE(std::regex_match(client.Query("*IDN?"), std::regex(R"(Halvorn,ZTA100,HZ100\d+,\d+\.\d+)")));
  EXPECT_EQ(client.Query("*TST?"), "0");
  EXPECT_EQ(client.Query("*RST;*OPC?"), "1");
  client.Write("*CLS;*OPC;*WAI");
  EXPECT_EQ(client.Query("*ESR?"), "1");
  EXPECT_EQ(client.Query("*ESR?"), "0");  // reading clears it
  client.Write("*RST 1");
  EXPECT_EQ(client.NextError(), "-108,\"Parameter not allowed\"");
  EXPECT_EQ(client.Query("SYST:VERS?"), "1999.0");
}

TEST_F(CommonCommands, ResetRestoresSettingsButNotStatusOrMemories) {
  client.Write("VOLT 100;:FREQ 50;:OUTP 1;:OUTP:COUP DC;:SENS:AVER 4;*SAV 2;*ESE 16");
  client.Write("*RST");
  EXPECT_EQ(client.Query("VOLT?;:FREQ?;:OUTP?;:OUTP:COUP?;:SENS:AVER?"), "+0.00000000E+00;+6.00000000E+01;0;AC;1");
  EXPECT_EQ(client.Query("*ESE?"), "16");
  client.Write("*RCL 2");
  EXPECT_EQ(client.Query("VOLT?;:FREQ?;:OUTP?;:OUTP:COUP?;:SENS:AVER?"), "+1.00000000E+02;+5.00000000E+01;1;DC;4");
  client.Write("*SAV 10");
  EXPECT_EQ(client.NextError(), "-222,\"Data out of range\"");
  client.Write("*RCL");
  EXPECT_EQ(client.NextError(), "-109,\"Missing parameter\"");
}

TEST_F(CommonCommands, CompoundMessagesFollowTheHeaderPathAndJoinReplies) {
  client.Write("SOUR:VOLT 10;FREQ 50");     // FREQ continues under SOURce
  client.Write("VOLT:OFFS 1;OFFS:TRIG 2");  // OFFS continues under VOLTage
  EXPECT_EQ(client.Query("VOLT?;:FREQ?;:VOLT:OFFS?;OFFS:TRIG?"),
            "+1.00000000E+01;+5.00000000E+01;+1.00000000E+00;+2.00000000E+00");
  client.Write("VOLT:OFFS 3;FREQ 70");  // VOLT:OFFS:FREQ does not exist
  EXPECT_EQ(client.NextError(), "-113,\"Undefined header\"");
  EXPECT_EQ(client.Query("FREQ?;:VOLT:OFFS?"), "+5.00000000E+01;+3.00000000E+00");

  // A command error drops the rest of the message; an execution error does not.
  client.Write("VOLT 20;BOGUS;VOLT 30");
  EXPECT_EQ(client.Query("VOLT?"), "+2.00000000E+01");
  EXPECT_EQ(client.Query("VOLT 999;:FREQ?"), "+5.00000000E+01");
  EXPECT_EQ(client.NextError(), "-113,\"Undefined header\"");
  EXPECT_EQ(client.NextError(), "-222,\"Data out of range\"");
  EXPECT_EQ(client.Query("*IDN?;BOGUS?").substr(0, 8), "Halvorn,");
  EXPECT_EQ(client.Query("\r\n*STB?\r"), "4");  // the empty line is no message
}

}  // namespace
}  // namespace sim_test
