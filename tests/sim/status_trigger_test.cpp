// The error queue, the status registers and the trigger system over the raw socket.

#include <gtest/gtest.h>

#include <string>

#include "scpi_client.h"

namespace sim_test {
namespace {

using ErrorQueue = EmulatorTest;
using StatusByte = EmulatorTest;
using TransientTrigger = EmulatorTest;
using Acquisition = EmulatorTest;

TEST_F(ErrorQueue, KeepsNineteenErrorsThenReportsTheOverflowAndEachClassSetsItsEventBit) {
  for (int i = 0; i < 25; ++i) client.Write("NO:SUCH:HEADER");
  EXPECT_EQ(client.Query("SYST:ERR:COUN?"), "20");
  for (int i = 0; i < 19; ++i) EXPECT_EQ(client.NextError(), "-113,\"Undefined header\"");
  EXPECT_EQ(client.NextError(), "-350,\"Queue overflow\"");
  EXPECT_EQ(client.NextError(), "0,\"No error\"");
  EXPECT_EQ(client.Query("*ESR?"), std::to_string(0x80 | 0x20 | 0x08));
  client.Write("BOGUS;:VOLT 1000");
  client.Write("*CLS");  // empties the queue and the registers
  EXPECT_EQ(client.Query("*ESR?;:SYST:ERR:COUN?;*STB?"), "0;0;16");  // 16: the replies before *STB?

  // Each error class sets its bit of the event status: execution, command, device-specific.
  for (const auto& [line, bit] : {std::pair<std::string, std::string>("VOLT 1000", "16"), {"VOLT ,", "32"},
                                  {std::string(70 * 1024, 'A'), "8"}}) {
    client.Write(line);
    EXPECT_EQ(client.Query("*ESR?"), bit) << line.substr(0, 10);
  }
  // Nine thousand queries in one message answer more than the output holds.
  std::string many;
  for (int i = 0; i < 9000; ++i) many += "*IDN?;";
  client.Write(many);
  EXPECT_EQ(client.Query("*ESR?"), "4");
  EXPECT_EQ(client.NextError(), "-222,\"Data out of range\"");
  EXPECT_EQ(client.NextError(), "-102,\"Syntax error\"");
  EXPECT_EQ(client.NextError(), "-363,\"Input buffer overrun\"");
  EXPECT_EQ(client.NextError(), "-430,\"Query DEADLOCKED\"");
}

TEST_F(StatusByte, SummarisesQueueEventsAndRegisters) {
  client.Write("*CLS;*ESE 16;*SRE 32");
  EXPECT_EQ(client.Query("*ESE?;*SRE?"), "16;32");
  EXPECT_EQ(client.Query("*STB?"), "0");
  client.Write("VOLT 1000");  // execution error: queue, ESB and with it MSS
  EXPECT_EQ(client.Query("*STB?"), std::to_string(0x04 | 0x20 | 0x40));
  const std::string reply = client.Query("*IDN?;*STB?");  // the identity waits in the output
  EXPECT_EQ(reply.substr(reply.rfind(';') + 1), std::to_string(0x04 | 0x10 | 0x20 | 0x40));
  client.Write("*CLS;*SRE 0;:STAT:QUES:ENAB 2;:STAT:OPER:ENAB 256");
  EXPECT_EQ(client.Query("STAT:QUES:ENAB?;:STAT:OPER:ENAB?"), "2;256");
  client.Write("VOLT 120;:CURR 1;:OUTP 1");  // regulating: over-current, not constant voltage
  EXPECT_EQ(client.Query("*STB?"), std::to_string(0x08));
  client.Write("CURR 4");  // constant voltage now
  EXPECT_EQ(client.Query("*STB?"), std::to_string(0x08 | 0x80));
  EXPECT_EQ(client.Query("STAT:OPER?;:STAT:QUES?"), "1280;2");
  EXPECT_EQ(client.Query("*STB?"), "0");
  client.Write("STAT:PRES");
  EXPECT_EQ(client.Query("STAT:QUES:ENAB?;:STAT:OPER:ENAB?"), "0;0");
  client.Write("*ESE 256");
  EXPECT_EQ(client.NextError(), "-222,\"Data out of range\"");
}

constexpr int kWaitingForTrigger = 0x40;

int OperationCondition(ScpiClient& client) { return std::stoi(client.Query("STAT:OPER:COND?")); }

TEST_F(TransientTrigger, TriggeredValuesFollowUntilProgrammedAndApplyOnTheTriggerItsSourceGives) {
  client.Write("VOLT 50");
  EXPECT_EQ(client.Query("VOLT:TRIG?"), "+5.00000000E+01");
  client.Write("VOLT:TRIG 80;:VOLT 60");
  EXPECT_EQ(client.Query("VOLT:TRIG?;:VOLT?"), "+8.00000000E+01;+6.00000000E+01");
  EXPECT_EQ(client.Query("INIT:TRAN;:VOLT?"), "+8.00000000E+01");  // immediate source: applied at once
  EXPECT_EQ(client.Query("VOLT 0;:VOLT:TRIG?"), "+0.00000000E+00");  // following again

  client.Write("TRIG:TRAN:SOUR BUS;:VOLT:TRIG 90;:FREQ:TRIG 55;:VOLT:OFFS:TRIG 5;:INIT:TRAN;:INIT:TRAN");
  EXPECT_EQ(client.NextError(), "-213,\"Init ignored\"");
  EXPECT_EQ(OperationCondition(client) & kWaitingForTrigger, kWaitingForTrigger);
  EXPECT_EQ(client.Query("VOLT?;:FREQ?;:VOLT:OFFS?"), "+0.00000000E+00;+6.00000000E+01;+0.00000000E+00");
  EXPECT_EQ(client.Query("*TRG;:VOLT?;:FREQ?;:VOLT:OFFS?"), "+9.00000000E+01;+5.50000000E+01;+5.00000000E+00");
  EXPECT_EQ(OperationCondition(client) & kWaitingForTrigger, 0);
  client.Write("*TRG");
  EXPECT_EQ(client.NextError(), "-211,\"Trigger ignored\"");
  client.Write("VOLT:TRIG 70;:INIT:TRAN;:ABOR;*TRG");  // an abort cancels the wait
  EXPECT_EQ(client.NextError(), "-211,\"Trigger ignored\"");
  EXPECT_EQ(client.Query("VOLT?"), "+9.00000000E+01");
}

TEST_F(Acquisition, FetchReadsTheLastAcquisitionMeasureTakesANewOneAndBusTriggersWait) {
  // A fetch with nothing acquired answers nothing; *OPC? shows the message ran.
  EXPECT_EQ(client.Query("FETC:VOLT:AC?;*OPC?"), "1");
  EXPECT_EQ(client.NextError(), "-230,\"Data corrupt or stale\"");

  client.Write("VOLT 100;:OUTP 1;:INIT:ACQ;:VOLT 20");
  EXPECT_EQ(client.Query("FETC:VOLT:AC?"), "+1.00000000E+02");
  EXPECT_EQ(client.Query("MEAS:VOLT:AC?"), "+2.00000000E+01");
  EXPECT_EQ(client.Query("FETC:VOLT:AC?;:FETC:CURR:AC?"), "+2.00000000E+01;+4.00000000E-01");

  // With the bus as its source the acquisition waits for *TRG.
  client.Write("VOLT 100;:TRIG:ACQ:SOUR BUS;:INIT:ACQ");
  EXPECT_EQ(OperationCondition(client) & kWaitingForTrigger, kWaitingForTrigger);
  client.Write("*TRG;:VOLT 10");
  EXPECT_EQ(client.Query("FETC:VOLT:AC?"), "+1.00000000E+02");
  EXPECT_EQ(OperationCondition(client) & kWaitingForTrigger, 0);
}

}  // namespace
}  // namespace sim_test
