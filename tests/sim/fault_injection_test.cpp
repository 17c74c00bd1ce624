// Injected faults over the raw socket: each kind on its message number, at
// random from the seed, or armed for the next message.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "scpi_client.h"

namespace sim_test {
namespace {

using zta_sim::FaultKind;
using ArmedFaults = EmulatorTest;

TEST_F(ArmedFaults, EachKindShapesTheReplyToTheNextMessage) {
  EXPECT_EQ(client.Query("VOLT 120;*OPC?"), "1");  // done before the fault is armed
  emulator->ArmFault(FaultKind::Garbage);
  const std::string garbage = client.Query("VOLT?");
  EXPECT_EQ(garbage.size(), std::string("+1.20000000E+02").size());
  EXPECT_NE(garbage, "+1.20000000E+02");

  emulator->ArmFault(FaultKind::Truncate);
  client.Write("VOLT?");
  EXPECT_EQ(client.ReadBytes(8, 200ms), "+1.20000");
  EXPECT_EQ(client.ReadBytes(1, 100ms), "");  // no terminator follows

  emulator->ArmFault(FaultKind::Oversize);
  const std::string oversize = client.Query("VOLT?");
  EXPECT_GT(oversize.size(), 1u << 20);
  EXPECT_EQ(oversize.substr(0, 15), "+1.20000000E+02");
  emulator->ArmFault(FaultKind::ShortBlock);
  EXPECT_EQ(client.Query("VOLT?"), "#41024+1.20000000E+02");
  emulator->ArmFault(FaultKind::Doubled);
  EXPECT_EQ(client.Query("VOLT?"), "+1.20000000E+02");
  EXPECT_EQ(client.ReadLine(), "+1.20000000E+02");
  EXPECT_EQ(client.Query("VOLT?"), "+1.20000000E+02");  // one message each

  // A stall silences the connection from then on; a drop closes it.
  emulator->ArmFault(FaultKind::Stall);
  EXPECT_EQ(client.Query("*OPC?", 200ms), "<no reply>");
  EXPECT_EQ(client.Query("*OPC?", 200ms), "<no reply>");
  ScpiClient dropped(emulator.port());
  emulator->ArmFault(FaultKind::Drop);
  dropped.Write("*IDN?");
  EXPECT_TRUE(dropped.ClosedWithin(2000ms));
  EXPECT_EQ(ScpiClient(emulator.port()).Query("*OPC?"), "1");  // others still talk
}

TEST(Faults, LateSplitAndTricklingReplies) {
  zta_sim::Options options;
  options.faults.faults.push_back({FaultKind::Late, 1, 0.0});
  options.faults.lateDelay = 300ms;
  options.faults.trickleInterval = 100ms;
  RunningEmulator emulator(options);
  ScpiClient client(emulator.port());
  EXPECT_EQ(client.Query("FREQ?", 50ms), "<no reply>");
  // The stale reply is what a careless client reads for its next query.
  EXPECT_EQ(client.Query("VOLT 120;VOLT?"), "+6.00000000E+01");
  EXPECT_EQ(client.ReadLine(), "+1.20000000E+02");

  emulator->ArmFault(FaultKind::Split);
  client.Write("VOLT?");
  EXPECT_EQ(client.ReadBytes(8, 200ms), "+1.20000");
  EXPECT_EQ(client.ReadBytes(1, 100ms), "") << "the tail waits";
  EXPECT_EQ(client.ReadLine(), "000E+02");

  emulator->ArmFault(FaultKind::Trickle);
  client.Write("VOLT?");
  EXPECT_EQ(client.ReadBytes(3 * 2048, 1000ms), std::string(3 * 2048, '7'));
  EXPECT_EQ(ScpiClient(emulator.port()).Query("\n*OPC?"), "1");  // others still talk
  EXPECT_EQ(emulator->MessageCount(), 5u);  // over all connections; the empty line does not count
}

TEST(Faults, IdleConnectionsAreClosedAndRepliesDelayed) {
  zta_sim::Options options;
  options.idleTimeout = 300ms;
  options.faults.replyDelay = 150ms;
  RunningEmulator emulator(options);
  std::vector<std::unique_ptr<ScpiClient>> silent;
  for (int i = 0; i < 32; ++i) silent.push_back(std::make_unique<ScpiClient>(emulator.port()));
  EXPECT_TRUE(silent.front()->ClosedWithin(2000ms));
  ScpiClient client(emulator.port());
  for (int i = 0; i < 2; ++i) {
    client.Write("*OPC?");
    EXPECT_EQ(client.ReadLine(50ms), std::nullopt);
    EXPECT_EQ(client.ReadLine(), "1");
  }
}

TEST(Faults, RandomFaultsFollowTheSeed) {
  zta_sim::Options options;
  options.faults.faults.push_back({FaultKind::Garbage, 0, 0.5});
  options.seed = 3;
  auto replies = [&] {
    RunningEmulator emulator(options);
    ScpiClient client(emulator.port());
    std::vector<std::string> all;
    for (int i = 0; i < 20; ++i) all.push_back(client.Query("*OPC?"));
    return all;
  };
  const auto first = replies();
  EXPECT_EQ(first, replies());
  const auto clean = std::count(first.begin(), first.end(), "1");
  EXPECT_GT(clean, 0);  // some, not all, are garbage
  EXPECT_LT(clean, 20);
}

TEST(Faults, StopIsPromptWhileAReplyIsHeldBackOrAClientStalls) {
  zta_sim::Options options;
  options.faults.faults = {{FaultKind::Late, 1, 0.0}, {FaultKind::Stall, 2, 0.0}};
  options.faults.lateDelay = std::chrono::minutes(10);
  auto emulator = std::make_unique<RunningEmulator>(options);
  ScpiClient late(emulator->port());
  ScpiClient stalled(emulator->port());
  late.Write("*OPC?");
  stalled.Write("*OPC?");
  EXPECT_EQ(late.ReadLine(100ms), std::nullopt);
  auto stopped = std::async(std::launch::async, [&] { emulator.reset(); });
  EXPECT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(stalled.ClosedWithin(1000ms));
}

}  // namespace
}  // namespace sim_test
