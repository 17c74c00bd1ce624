// The hvzelta program's command line: help, wrong command lines, the
// attribute list and the emulator in the foreground.

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "support/cli_process.h"
#include "hvzelta.h"

namespace hvzelta {
namespace {

using nlohmann::json;
using testing::CliResult;
using testing::Contains;
using testing::RunCli;

const std::vector<std::string> kCommands{"info",   "get",   "set",      "attributes", "measure", "query",
                                         "write",  "reset", "selftest", "errors",     "sim",     "demo",
                                         "config", "trace", "register", "unregister", "panel"};

TEST(Help, EveryCommandHasItsUsageAndTheOverviewListsThemAndTheExitStatuses) {
  const CliResult overview = RunCli({"--help"});
  ASSERT_EQ(overview.status, 0);
  for (const std::string& command : kCommands) {
    EXPECT_TRUE(Contains(overview.out, "\n  " + command + " ")) << command;
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"help", command}, {command, "--help"}, {command, "extra", "-h"}}) {
      const CliResult usage = RunCli(words);
      EXPECT_EQ(usage.status, 0) << words[0] << " " << words[1];
      EXPECT_TRUE(usage.out.starts_with("usage: hvzelta ")) << usage.out;
    }
  }
  for (const std::string_view status : {"  0  success", "  1  ", "  2  the command line is wrong", "  3  ", "  4  "}) {
    EXPECT_TRUE(Contains(overview.out, status)) << status;
  }
  EXPECT_TRUE(Contains(RunCli({"help", "sim"}).out, "--fault KIND@N")) << "the emulator's own options";
  EXPECT_TRUE(Contains(RunCli({"help", "get"}).out, "-c, --channel")) << "the session options";
  EXPECT_TRUE(Contains(RunCli({"-r", "info", "--help", "get", "VOLTAGE_LEVL"}).out, "[--json] get NAME"))
      << "--help anywhere on the line shows the command's usage, whatever else is wrong with the line";
  const CliResult version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("hvzelta ") && version.out.find_first_of("0123456789") == 8) << version.out;
}

TEST(Usage, AWrongCommandLineExitsWith2AndSaysWhy) {
  struct Case {
    std::vector<std::string> words;
    std::string says;
  };
  const std::vector<Case> cases{
      {{}, "usage: hvzelta"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"-x", "info"}, "unknown option '-x'"},
      {{"-r"}, "option --resource needs a value"},
      {{"info"}, "name the instrument with -r RESOURCE"},
      {{"-o", "Simulate=true", "info", "extra"}, "info takes no arguments"},
      {{"-o", "Simulate=true", "get"}, "give one attribute name"},
      {{"-o", "Simulate=true", "set", "VOLTAGE_LEVEL"}, "give an attribute name and a value"},
      {{"-o", "Simulate=true", "info", "--channel", "Output1"}, "unknown option --channel"},
      {{"-o", "Simulate=true", "query"}, "give one SCPI message"},
      {{"-o", "Simulate=true", "write", ""}, "the SCPI message is empty"},
      {{"-o", "Simulate=true", "reset", "now"}, "unexpected argument 'now'"},
      {{"-o", "Simulate=true", "get", "CACHE", "--resource"}, "option --resource needs a value"},
      {{"-oSimulate=true", "get", "CACHE", "-rA", "--resource=B"}, "option --resource is given twice"},
      {{"-oSimulate=true", "get", "CACHE", "--json=false"}, "option --json takes no value"},
      {{"-o", "Simulate=true", "get", "hvzelta_attr_VOLTAGE_LEVL"}, "not recognized. Did you mean VOLTAGE_LEVEL?"},
      {{"-o", "Simulate=true", "set", "OUTPUT_TRIGGER_SOURCE", "IMEDIATE"}, "; did you mean IMMEDIATE?"},
      {{"trace", "t.xml", "-o", "t.html"}, "unknown option -o"},
      {{"-r", "x", "config", "list"}, "'config' takes no -r"},
      {{"attributes", "--verbose"}, "unknown option --verbose"},
      {{"sim", "--port", "70000"}, "a port is a number"},
      {{"list", "TCPIP?*", "ASRL?*"}, "more than one pattern"},
      {{"list", "(unbalanced"}, "'(unbalanced' is not a valid resource pattern"},
      {{"list", "?*{VI_ATTR_INTF_NUM==0}"}, "attribute expression, which is not supported"},
      {{"list", "--portmapper-port", "0"}, "--portmapper-port takes a port number from 1 to 65535, not '0'"},
      {{"list", "--wait", "61000"}, "--wait takes milliseconds from 0 to 60000, not '61000'"},
      {{"demo", "a", "b", "c"}, "at most a resource and an option string"},
  };
  for (const Case& c : cases) {
    const CliResult result = RunCli(c.words);
    std::string line;
    for (const std::string& word : c.words) line += word + " ";
    EXPECT_EQ(result.status, 2) << line << result.err;
    EXPECT_TRUE(Contains(result.err, c.says)) << line << "\n" << result.err;
    EXPECT_TRUE(result.out.empty()) << line << result.out;
  }
}

TEST(Attributes, ListsEveryAttributeOfTheCInterfaceWithItsTraits) {
  const CliResult result = RunCli({"-r", "TCPIP::192.0.2.1::INSTR", "attributes", "--json"});  // needs no instrument
  ASSERT_EQ(result.status, 0) << result.err;
  const json all = json::parse(result.out);
  ASSERT_EQ(all.size(), 77u) << "OUTPUT_VOLTAGE_LEVEL is read as VOLTAGE_LEVEL, not listed apart";
  std::set<std::string> names;
  std::set<unsigned> ids;
  for (const json& attribute : all) {
    names.insert(attribute["name"].get<std::string>());
    ids.insert(attribute["id"].get<unsigned>());
    EXPECT_FALSE(attribute["name"].get<std::string>().starts_with("ATTRIBUTE_")) << attribute << " has no header name";
    if (attribute["name"] == "VOLTAGE_LEVEL") {
      EXPECT_EQ(attribute, json::parse(R"({"name":"VOLTAGE_LEVEL","id":1250016,"type":"ViReal64",)"
                                       R"("access":"read/write","channel":"phase"})"));
    }
    if (attribute["name"] == "OUTPUT_AVERAGE") {
      EXPECT_EQ(attribute["values"]["16"], HVZELTA_VAL_AVERAGE_16);
    }
  }
  EXPECT_EQ(names.size(), 77u);
  EXPECT_EQ(ids.size(), 77u);
}

TEST(Sim, RunsTheEmulatorUntilSignalledPrintsResourcesThatWorkAndRefusesAPortInUse) {
  FILE* verbose = std::tmpfile();
  testing::RunningCli sim({"sim", "--json", "--port", "0", "--hislip", "--model", "ZTA200", "--verbose"},
                          fileno(verbose));
  const std::string line = sim.ReadLine();
  ASSERT_TRUE(json::accept(line)) << "first line: " << line;
  const json started = json::parse(line);
  EXPECT_EQ(started["model"], "ZTA200");
  ASSERT_TRUE(started["resources"]["socket"].is_string()) << started;
  ASSERT_TRUE(started["resources"]["hislip"].is_string()) << started;
  for (const char* transport : {"socket", "hislip"}) {
    const CliResult result = RunCli({"-r", started["resources"][transport], "query", "*IDN?"});
    EXPECT_EQ(result.status, 0) << transport << ": " << result.err;
    EXPECT_TRUE(Contains(result.out, "ZTA200")) << transport << ": " << result.out;
  }
  std::string shown(4096, '\0');
  shown.resize(static_cast<std::size_t>(std::max<ssize_t>(::pread(fileno(verbose), shown.data(), shown.size(), 0), 0)));
  EXPECT_TRUE(Contains(shown, "received: *IDN?\nanswered: Halvorn,ZTA200,")) << shown;

  testing::RunningCli text({"sim", "--port", "0"});
  EXPECT_EQ(text.ReadLine(), "Emulated ZTA100; resource strings:");
  const std::string socket = text.ReadLine();
  ASSERT_TRUE(socket.starts_with("  socket  TCPIP::127.0.0.1::")) << socket;
  EXPECT_EQ(text.ReadLine(), "ready (Ctrl-C stops)");
  const CliResult second = RunCli({"sim", "--port", socket.substr(28, socket.rfind("::") - 28)});
  EXPECT_EQ(second.status, 1);
  EXPECT_TRUE(Contains(second.err, "hvzelta sim: cannot start the emulator: ")) << second.err;
  EXPECT_EQ(text.Stop(SIGINT), 0);
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  std::fclose(verbose);
}

}  // namespace
}  // namespace hvzelta
