// The command line of hvzelta-sim.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "cli_options.h"

namespace zta_sim {
namespace {

TEST(CommandLine, ReadsEveryOptionAndServesOnlyTheLoopbackSocketByDefault) {
  const Options defaults = ParseCommandLine({}).options;
  EXPECT_EQ(defaults.bindAddress, "127.0.0.1");
  EXPECT_FALSE(defaults.serial || defaults.vxi11 || defaults.hislip);

  const CommandLine line = ParseCommandLine(
      {"--port", "0", "--model=ZTA400", "--idn", "A,B,C,D", "--serial", "--vxi11", "--vxi11-port", "4000",
       "--portmapper-port=0", "--hislip", "--hislip-port", "4880", "--resistance", "12.5", "--inductance",
       "0.01", "--crest-factor", "3", "--noise", "0.001", "--seed", "99", "--delay", "20", "--late", "500",
       "--fault", "split@3", "--fault", "garbage%2.5", "--bind", "127.0.0.2", "--trickle-interval", "40",
       "--idle-timeout", "9000", "--verbose"});
  ASSERT_EQ(line.error, "");
  const Options& o = line.options;
  EXPECT_EQ(std::tie(o.model, o.idn, o.bindAddress, o.seed),
            std::make_tuple(Model::ZTA400, "A,B,C,D", "127.0.0.2", 99u));
  EXPECT_TRUE(o.serial && o.vxi11 && o.hislip && o.verbose);
  EXPECT_EQ(std::tie(o.socketPort, o.vxi11Port, o.portmapperPort, o.hislipPort), std::make_tuple(0, 4000, 0, 4880));
  EXPECT_EQ(std::make_tuple(o.load.resistanceOhm, o.load.inductanceHenry, o.load.crestFactor, o.noise),
            std::make_tuple(12.5, 0.01, 3.0, 0.001));
  EXPECT_EQ(std::make_tuple(o.faults.replyDelay.count(), o.faults.lateDelay.count(), o.faults.trickleInterval.count(),
                            o.idleTimeout.count()),
            std::make_tuple(20, 500, 40, 9000));
  ASSERT_EQ(o.faults.faults.size(), 2u);
  EXPECT_EQ(std::tie(o.faults.faults[0].kind, o.faults.faults[0].atMessage, o.faults.faults[1].kind),
            std::make_tuple(FaultKind::Split, 3u, FaultKind::Garbage));
  EXPECT_DOUBLE_EQ(o.faults.faults[1].probability, 0.025);
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
}

}  // namespace
}  // namespace zta_sim
