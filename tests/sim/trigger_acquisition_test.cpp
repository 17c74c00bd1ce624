// The trigger system and acquisitions over the raw socket: triggered values
// applied by the transient trigger, FETCh against MEASure, bus triggers and
// continuous acquisition.

#include <gtest/gtest.h>

#include "scpi_client.h"

namespace sim_test {
namespace {

using TransientTrigger = EmulatorTest;
using Acquisition = EmulatorTest;

constexpr int kWaitingForTrigger = 0x40;
constexpr int kMeasuring = 0x10;

int OperationCondition(ScpiClient& client) { return std::stoi(client.Query("STAT:OPER:COND?")); }

TEST_F(TransientTrigger, TriggeredValuesFollowUntilProgrammedAndApplyOnTheTrigger) {
  client.Write("VOLT 50");
  EXPECT_EQ(client.Query("VOLT:TRIG?"), "+5.00000000E+01");
  client.Write("VOLT:TRIG 80;:VOLT 60");
  EXPECT_EQ(client.Query("VOLT:TRIG?;:VOLT?"), "+8.00000000E+01;+6.00000000E+01");
  client.Write("INIT:TRAN");  // immediate source: applied at once
  EXPECT_EQ(client.Query("VOLT?"), "+8.00000000E+01");
  client.Write("VOLT 70");  // following again
  EXPECT_EQ(client.Query("VOLT:TRIG?"), "+7.00000000E+01");
}

TEST_F(TransientTrigger, BusSourceWaitsForTheBusTrigger) {
  client.Write("TRIG:TRAN:SOUR BUS;:VOLT:TRIG 90;:FREQ:TRIG 55;:VOLT:OFFS:TRIG 5;:INIT:TRAN");
  EXPECT_EQ(OperationCondition(client) & kWaitingForTrigger, kWaitingForTrigger);
  EXPECT_EQ(client.Query("VOLT?;:FREQ?;:VOLT:OFFS?"), "+0.00000000E+00;+6.00000000E+01;+0.00000000E+00");
  client.Write("INIT:TRAN");
  EXPECT_EQ(client.NextError(), "-213,\"Init ignored\"");
  client.Write("*TRG");
  EXPECT_EQ(client.Query("VOLT?;:FREQ?;:VOLT:OFFS?"), "+9.00000000E+01;+5.50000000E+01;+5.00000000E+00");
  EXPECT_EQ(OperationCondition(client) & kWaitingForTrigger, 0);
  client.Write("*TRG");
  EXPECT_EQ(client.NextError(), "-211,\"Trigger ignored\"");
  client.Write("VOLT:TRIG 70;:INIT:TRAN;:ABOR;*TRG");  // an abort cancels the wait
  EXPECT_EQ(client.NextError(), "-211,\"Trigger ignored\"");
  EXPECT_EQ(client.Query("VOLT?"), "+9.00000000E+01");
}

TEST_F(Acquisition, FetchReadsTheLastAcquisitionAndMeasureTakesANewOne) {
  // A fetch with nothing acquired answers nothing; *OPC? shows the message ran.
  EXPECT_EQ(client.Query("FETC:VOLT:AC?;*OPC?"), "1");
  EXPECT_EQ(client.NextError(), "-230,\"Data corrupt or stale\"");

  client.Write("VOLT 100;:OUTP 1;:INIT:ACQ;:VOLT 20");
  EXPECT_EQ(client.Query("FETC:VOLT:AC?"), "+1.00000000E+02");
  EXPECT_EQ(client.Query("MEAS:VOLT:AC?"), "+2.00000000E+01");
  EXPECT_EQ(client.Query("FETC:VOLT:AC?;:FETC:CURR:AC?"), "+2.00000000E+01;+4.00000000E-01");
}

TEST_F(Acquisition, BusSourceAcquiresOnTheBusTrigger) {
  client.Write("VOLT 100;:OUTP 1;:TRIG:ACQ:SOUR BUS;:INIT:ACQ");
  EXPECT_EQ(OperationCondition(client) & kWaitingForTrigger, kWaitingForTrigger);
  EXPECT_EQ(client.Query("FETC:VOLT:AC?;*OPC?"), "1");
  EXPECT_EQ(client.NextError(), "-230,\"Data corrupt or stale\"");
  client.Write("*TRG;:VOLT 10");
  EXPECT_EQ(client.Query("FETC:VOLT:AC?"), "+1.00000000E+02");
  EXPECT_EQ(OperationCondition(client) & kWaitingForTrigger, 0);
}

TEST_F(Acquisition, ContinuousAcquisitionKeepsFetchCurrent) {
  client.Write("OUTP 1;:INIT:CONT:ACQ ON;:VOLT 30");
  EXPECT_EQ(OperationCondition(client) & kMeasuring, kMeasuring);
  EXPECT_EQ(client.Query("FETC:VOLT:AC?"), "+3.00000000E+01");
  client.Write("VOLT 40;:INIT:ACQ");
  EXPECT_EQ(client.Query("FETC:VOLT:AC?"), "+4.00000000E+01");
  EXPECT_EQ(client.NextError(), "-213,\"Init ignored\"");
}

}  // namespace
}  // namespace sim_test
