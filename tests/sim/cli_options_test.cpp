// The command line of hvzelta-sim.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_options.h"

namespace zta_sim {
namespace {

TEST(CommandLine, DefaultsServeTheStandardSocketOnLoopback) {
  const CommandLine line = ParseCommandLine({});
  EXPECT_TRUE(line.error.empty());
  EXPECT_EQ(line.options.bindAddress, "127.0.0.1");
  EXPECT_EQ(line.options.socketPort, 5025);
  EXPECT_EQ(line.options.portmapperPort, 111);
  EXPECT_FALSE(line.options.serial || line.options.vxi11 || line.options.hislip);
}

TEST(CommandLine, ReadsEveryOption) {
  const CommandLine line = ParseCommandLine(
      {"--port", "0", "--model=ZTA400", "--idn", "A,B,C,D", "--serial", "--vxi11", "--vxi11-port", "4000",
       "--portmapper-port=0", "--hislip", "--hislip-port", "4880", "--resistance", "12.5", "--inductance",
       "0.01", "--crest-factor", "3", "--noise", "0.001", "--seed", "99", "--delay", "20", "--late", "500",
       "--fault", "split@3", "--fault", "garbage%2.5", "--bind", "127.0.0.2", "--trickle-interval", "40",
       "--idle-timeout", "9000", "--verbose"});
  ASSERT_EQ(line.error, "");
  const Options& o = line.options;
  EXPECT_EQ(o.socketPort, 0);
  EXPECT_EQ(o.model, Model::ZTA400);
  EXPECT_EQ(o.idn, "A,B,C,D");
  EXPECT_TRUE(o.serial && o.vxi11 && o.verbose);
  EXPECT_EQ(o.vxi11Port, 4000);
  EXPECT_EQ(o.portmapperPort, 0);
  EXPECT_TRUE(o.hislip);
  EXPECT_EQ(o.hislipPort, 4880);
  EXPECT_DOUBLE_EQ(o.load.resistanceOhm, 12.5);
  EXPECT_DOUBLE_EQ(o.load.inductanceHenry, 0.01);
  EXPECT_DOUBLE_EQ(o.load.crestFactor, 3.0);
  EXPECT_DOUBLE_EQ(o.noise, 0.001);
  EXPECT_EQ(o.seed, 99u);
  EXPECT_EQ(o.faults.replyDelay.count(), 20);
  EXPECT_EQ(o.faults.lateDelay.count(), 500);
  ASSERT_EQ(o.faults.faults.size(), 2u);
  EXPECT_EQ(o.faults.faults[0].kind, FaultKind::Split);
  EXPECT_EQ(o.faults.faults[0].atMessage, 3u);
  EXPECT_EQ(o.faults.trickleInterval.count(), 40);
  EXPECT_EQ(o.idleTimeout.count(), 9000);
  EXPECT_EQ(o.faults.faults[1].kind, FaultKind::Garbage);
  EXPECT_DOUBLE_EQ(o.faults.faults[1].probability, 0.025);
  EXPECT_EQ(o.bindAddress, "127.0.0.2");
}

TEST(CommandLine, RefusesWhatItDoesNotUnderstand) {
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--model", "ZTA500"}, {"--port", "70000"}, {"--port"}, {"--fault", "melt@1"}, {"--fault", "stall@0"},
           {"--fault", "drop%150"}, {"--resistance", "0"}, {"--crest-factor", "0.5"}, {"--noise", "-1"},
           {"--seed", "x"}, {"--frobnicate"}, {"--delay", "-5"}}) {
    EXPECT_FALSE(ParseCommandLine(bad).error.empty()) << bad.front();
  }
  EXPECT_TRUE(ParseCommandLine({"--help"}).help);
  EXPECT_NE(Usage().find("--portmapper-port"), std::string::npos);
  EXPECT_NE(Usage().find("--hislip-port"), std::string::npos);
}

}  // namespace
}  // namespace zta_sim
