// The error queue and the status registers over the raw socket.

#include <gtest/gtest.h>

#include <string>

#include "scpi_client.h"

namespace sim_test {
namespace {

using ErrorQueue = EmulatorTest;
using EventStatus = EmulatorTest;
using StatusByte = EmulatorTest;

TEST_F(ErrorQueue, KeepsNineteenErrorsThenReportsTheOverflow) {
  EXPECT_EQ(client.NextError(), "0,\"No error\"");
  for (int i = 0; i < 25; ++i) client.Write("NO:SUCH:HEADER");
  EXPECT_EQ(client.Query("SYST:ERR:COUN?"), "20");
  for (int i = 0; i < 19; ++i) EXPECT_EQ(client.NextError(), "-113,\"Undefined header\"");
  EXPECT_EQ(client.NextError(), "-350,\"Queue overflow\"");
  EXPECT_EQ(client.NextError(), "0,\"No error\"");
  EXPECT_EQ(client.Query("*ESR?"), std::to_string(0x80 | 0x20 | 0x08));
  client.Write("BOGUS;:VOLT 1000");
  client.Write("*CLS");  // empties the queue and the registers
  EXPECT_EQ(client.Query("*ESR?;:SYST:ERR:COUN?;*STB?"), "0;0;16");  // 16: the replies before *STB?
}

TEST_F(EventStatus, EachErrorClassSetsItsBit) {
  client.Write("*CLS");
  EXPECT_EQ(client.Query("*ESR?"), "0");
  client.Write("VOLT 1000");
  EXPECT_EQ(client.Query("*ESR?"), "16");
  client.Write("VOLT ,");
  EXPECT_EQ(client.Query("*ESR?"), "32");
  client.Send(std::string(70 * 1024, 'A') + "\n");
  EXPECT_EQ(client.Query("*ESR?"), "8");
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

}  // namespace
}  // namespace sim_test
