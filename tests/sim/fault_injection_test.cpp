// Faults over the raw socket: idle connections, delayed replies and random
// faults from the seed. What the driver makes of each fault on every
// transport is the fault suite's (tests/faults).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "scpi_client.h"

namespace sim_test {
namespace {

using zta_sim::FaultKind;

TEST(Faults, IdleConnectionsAreClosedAndRepliesDelayed) {
  zta_sim::Options options;
  options.idleTimeout = 300ms;
  options.faults.replyDelay = 150ms;
  RunningEmulator emulator(options);
  std::vector<std::unique_ptr<ScpiClient>> silent;
  for (int i = 0; i < 32; ++i) silent.push_back(std::make_unique<ScpiClient>(emulator.port()));
  EXPECT_TRUE(silent.front()->ClosedWithin(2000ms));
  ScpiClient client(emulator.port());  // admitted once the idle ones are gone
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

}  // namespace
}  // namespace sim_test
