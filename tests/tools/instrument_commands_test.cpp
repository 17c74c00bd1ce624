// The instrument subcommands of the hvzelta program, run as a user runs them,
// against the emulator in this process and in simulation.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/cli_process.h"
#include "hvzelta.h"
#include "zta_sim/emulator.h"

namespace hvzelta {
namespace {

using nlohmann::json;
using testing::CliResult;
using testing::Contains;
using testing::RunCli;

// The exit status and every part standard error must show.
void ExpectFailure(const CliResult& result, int status, std::initializer_list<std::string_view> parts) {
  EXPECT_EQ(result.status, status) << result.err;
  for (std::string_view part : parts) EXPECT_TRUE(Contains(result.err, part)) << part << "\n" << result.err;
}

json ParseJson(const CliResult& result) {
  EXPECT_TRUE(json::accept(result.out)) << "not one JSON document: " << result.out << result.err;
  return json::parse(result.out, nullptr, false);
}

class EmulatorCommands : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    zta_sim::Options options;
    options.model = zta_sim::Model::ZTA300;
    options.load.resistanceOhm = 46.0;
    emulator_ = std::make_unique<zta_sim::Emulator>(options);
    const zta_sim::Endpoints endpoints = emulator_->Start();
    resource_ = "TCPIP::" + endpoints.address + "::" + std::to_string(endpoints.socketPort) + "::SOCKET";
  }
  static void TearDownTestSuite() { emulator_.reset(); }

  // The program with the emulator's resource in front of `words`.
  static CliResult Run(std::vector<std::string> words) {
    words.insert(words.begin(), {"-r", resource_});
    return RunCli(words);
  }

  static void Set(const std::string& name, const std::string& value) {
    const CliResult result = Run({"set", name, value});
    ASSERT_EQ(result.status, 0) << name << " " << value << ": " << result.err;
  }

  static std::string Get(const std::string& name) {
    const CliResult result = Run({"get", name});
    EXPECT_EQ(result.status, 0) << name << ": " << result.err;
    return result.out;
  }

  static inline std::unique_ptr<zta_sim::Emulator> emulator_;
  static inline std::string resource_;
};

TEST_F(EmulatorCommands, ValuesFollowTheAttributesType) {
  // Enumerations by any spelling of their names, or by number.
  for (const auto& [text, shown] :
       std::vector<std::pair<std::string, std::string>>{{"sw_trig_func", "SW_TRIG_FUNC"},
                                                        {"HVZELTA_VAL_TRIGGER_SOURCE_IMMEDIATE", "IMMEDIATE"},
                                                        {"trigger_source_sw_trig_func", "SW_TRIG_FUNC"},
                                                        {"0", "IMMEDIATE"}}) {
    Set("OUTPUT_TRIGGER_SOURCE", text);
    EXPECT_EQ(Get("OUTPUT_TRIGGER_SOURCE"), shown + "\n") << text;
  }
  Set("OUTPUT_TRIGGER_SOURCE", "SW_TRIG_FUNC");
  const json source = ParseJson(Run({"--json", "get", "OUTPUT_TRIGGER_SOURCE"}));
  EXPECT_EQ(source["value"], HVZELTA_VAL_TRIGGER_SOURCE_SW_TRIG_FUNC);
  EXPECT_EQ(source["valueName"], "SW_TRIG_FUNC");
  EXPECT_EQ(source["channel"], "Output1");
  Set("OUTPUT_TRIGGER_SOURCE", "IMMEDIATE");

  for (const auto& [text, shown] : std::vector<std::pair<std::string, std::string>>{
           {"on", "true"}, {"0", "false"}, {"TRUE", "true"}, {"off", "false"}, {"1", "true"}, {"false", "false"}}) {
    Set("OUTPUT_SYNC_ENABLED", text);
    EXPECT_EQ(Get("OUTPUT_SYNC_ENABLED"), shown + "\n") << text;
  }
  // A negative number is a value, not an option.
  Set("OUTPUT_VOLTAGE_OFFSET", "-5");
  EXPECT_EQ(Get("OUTPUT_VOLTAGE_OFFSET"), "-5\n");
  Set("OUTPUT_VOLTAGE_OFFSET", "0");
  EXPECT_EQ(ParseJson(Run({"get", "--json", "OUTPUT_SYNC_ENABLED"}))["value"], false);

  // set --json echoes what was written.
  EXPECT_EQ(ParseJson(Run({"set", "OUTPUT_SYNC_PHASE", "30", "--json"}))["value"], 30.0);
  EXPECT_EQ(Get("INSTRUMENT_MODEL"), "ZTA300\n");
}

TEST_F(EmulatorCommands, MeasureTakesEveryTypeOrTheNamedOnesWithUnits) {
  Set("VOLTAGE_RANGE", "310");
  Set("VOLTAGE_LEVEL", "230");
  Set("OUTPUT_FREQUENCY", "50");
  Set("ENABLED", "on");

  CliResult result = Run({"measure"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(Contains(result.out, "VOLTAGE_AC             230 V\n")) << result.out;
  EXPECT_TRUE(Contains(result.out, "FREQUENCY              50 Hz\n")) << result.out;
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 13) << result.out;

  EXPECT_EQ(ParseJson(Run({"measure", "--json"}))["measurements"].size(), 13u);
  // Named ones, in the order named, in any case.
  EXPECT_EQ(ParseJson(Run({"measure", "current_ac", "HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_AC", "--json"})),
            json::parse(R"({"channel": "Output1", "measurements": [
            {"type": "CURRENT_AC", "value": 5, "unit": "A"}, {"type": "VOLTAGE_AC", "value": 230, "unit": "V"}]})"));
  ExpectFailure(Run({"measure", "VOLTAGE", "-c", "Output1"}), 2, {"no measurement type 'VOLTAGE'", "AC_POWER_FACTOR"});
  Set("ENABLED", "off");
}

TEST_F(EmulatorCommands, DirectIoAndTheErrorQueue) {
  CliResult result = Run({"query", "*IDN?"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(result.out.starts_with("Halvorn,ZTA300,")) << result.out;
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << "the reply's terminator is dropped";

  const json reply = ParseJson(Run({"query", "--json", "VOLT:RANG?"}));
  EXPECT_EQ(reply["message"], "VOLT:RANG?");
  EXPECT_TRUE(reply["reply"].is_string());

  Run({"errors"});  // whatever earlier tests left
  // A refused message ends with the instrument's error and status 3.
  ExpectFailure(Run({"write", "NO:SUCH:COMMAND"}), 3,
                {"hvzelta write: sending \"NO:SUCH:COMMAND\": the instrument reported errors\n"
                 "  instrument error -113, "});
  ExpectFailure(Run({"query", "NO:SUCH:QUERY?"}), 3, {"instrument error -113"});
  EXPECT_EQ(Run({"--no-status-check", "write", "NO:SUCH:COMMAND"}).status, 0);
}

// DriverSetup's IoLog appends to a file; a destination that cannot be used says what is accepted.
TEST_F(EmulatorCommands, TheIoLogShowsTheExchange) {
  CliResult result = Run({"query", "*IDN?", "--io-log"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(Contains(result.err, R"( write 6 bytes "*IDN?\n")")) << result.err;
  EXPECT_TRUE(Contains(result.err, R"( read 30 bytes "Halvorn,ZTA300,)")) << result.err;

  const std::string path = ::testing::TempDir() + "cli_io_log_" + std::to_string(::getpid());
  result = Run({"-o", "DriverSetup=IoLog=" + path, "get", "VOLTAGE_RANGE"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::ifstream file(path);
  const std::string logged((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  EXPECT_TRUE(Contains(logged, R"(write 11 bytes "VOLT:RANG?\n")")) << logged;
  EXPECT_TRUE(result.err.empty()) << result.err;

  for (const auto& words : {std::vector<std::string>{"--io-log=", "info"},
                            std::vector<std::string>{"--io-log=/nonexistent/io.log", "info"}}) {
    result = Run(words);
    EXPECT_NE(result.status, 0);
    EXPECT_TRUE(Contains(result.err, "stderr, stdout or a file path")) << result.err;
  }
}

TEST_F(EmulatorCommands, FailuresSayWhatWasBeingDoneInTheDriversWords) {
  // Found by the program before any instrument is opened, then refused by the driver.
  ExpectFailure(Run({"get", "NO_SUCH_ATTRIBUTE"}), 2, {"Attribute ID 'NO_SUCH_ATTRIBUTE' not recognized."});
  ExpectFailure(Run({"get", "99"}), 2, {});
  ExpectFailure(Run({"set", "VOLTAGE_LEVEL", "high"}), 2,
                {"'high' is not a finite number (VOLTAGE_LEVEL is ViReal64)"});
  ExpectFailure(Run({"set", "OUTPUT_SYNC_ENABLED", "yes"}), 2, {"not a boolean"});
  ExpectFailure(Run({"set", "OUTPUT_TRIGGER_SOURCE", "SOMETIMES"}), 2, {"IMMEDIATE, SW_TRIG_FUNC"});
  ExpectFailure(Run({"set", "INSTRUMENT_MODEL", "ZTA400"}), 1,
                {"hvzelta set: writing INSTRUMENT_MODEL: ", "read-only"});
  ExpectFailure(Run({"get", "VOLTAGE_LEVEL", "-c", "Output9"}), 1, {"hvzelta get: reading VOLTAGE_LEVEL: "});

  // 230 V on the 155 V range after a reset: found by the status poll, shown with the driver's message.
  ASSERT_EQ(Run({"reset"}).status, 0);
  ExpectFailure(Run({"set", "VOLTAGE_LEVEL", "230"}), 3, {"Instrument error detected", "instrument error -222"});
  EXPECT_EQ(Run({"errors"}).out, "0, \"No error\"\n") << "showing the errors read them";
  EXPECT_EQ(Run({"set", "VOLTAGE_LEVEL", "230", "--no-status-check"}).status, 0);
  EXPECT_EQ(Run({"-o", "QueryInstrStatus=false", "set", "VOLTAGE_LEVEL", "230"}).status, 0);
  const CliResult left = Run({"errors", "--json"});
  ExpectFailure(left, 3, {});
  EXPECT_EQ(ParseJson(left), json::parse(R"([{"code": -222, "message": "Data out of range"},
                                             {"code": -222, "message": "Data out of range"}])"))
      << "unchecked, the refusals stay in the queue";
}

TEST_F(EmulatorCommands, TheTourOnAnInstrumentDoesNotCallARefusedValueAccepted) {
  const std::string trace = ::testing::TempDir() + "hvzelta-tour-trace.xml";
  CliResult result = Run({"demo", "--trace", trace});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_TRUE(Contains(result.out, "Frequency = 1000: 0x80047001 HalvornZelta: Instrument error detected"))
      << result.out;
  result = Run({"demo", "--trace", trace, "--no-status-check"});
  EXPECT_TRUE(Contains(result.out, "Frequency = 1000: 0x00000000 sent (QueryInstrStatus is off")) << result.out;
  EXPECT_TRUE(Contains(result.out, "ErrorQuery: -222, Data out of range")) << result.out;
}

// Each cause of a failed open is the I/O session's test; here the program's words around it.
TEST(SessionFailures, AnUnopenedSessionGivesTheDriversMessageAndStatus4) {
  CliResult result = RunCli({"-r", "TCPIP::127.0.0.1::1::SOCKET", "info"});
  ExpectFailure(result, 4, {"hvzelta info: opening TCPIP::127.0.0.1::1::SOCKET: "
                            "HalvornZelta: I/O error: Failed to open VISA resource.\r\n"});
  EXPECT_TRUE(result.out.empty());

  result = RunCli({"-o", "Simulate=maybe", "--json", "info"});
  ExpectFailure(result, 4, {"The 'maybe' value in the option string is unknown."});
  EXPECT_TRUE(result.out.empty()) << "no half document on standard output";
}

TEST(Simulation, NeedsNoResourceAndKeepsWhatTheDriverKeeps) {
  CliResult result = RunCli({"-o", "Simulate=true, DriverSetup=Model=ZTA400", "--json", "info"});
  ASSERT_EQ(result.status, 0) << result.err;
  const json info = ParseJson(result);
  EXPECT_EQ(info["instrument"]["model"], "ZTA400");
  EXPECT_EQ(info["session"]["simulate"], true);
  EXPECT_EQ(info["session"]["driverSetup"], "Model=ZTA400");

  EXPECT_EQ(RunCli({"-o", "Simulate=true", "set", "VOLTAGE_LEVEL", "100"}).status, 0);
  EXPECT_EQ(RunCli({"-o", "Simulate=true", "selftest"}).out, "0 Selftest passed\n");
  EXPECT_EQ(ParseJson(RunCli({"-o", "Simulate=true", "selftest", "--json"})),
            json::parse(R"({"result": 0, "message": "Selftest passed"})"));
  EXPECT_EQ(RunCli({"-o", "Simulate=true", "errors"}).status, 0);
  EXPECT_EQ(ParseJson(RunCli({"-o", "Simulate=true", "reset", "--json"}))["reset"], true);

  // What needs an instrument fails in the driver's words.
  ExpectFailure(RunCli({"-o", "Simulate=true", "query", "*IDN?"}), 1,
                {"hvzelta query: writing \"*IDN?\": ", "simulation"});
  ExpectFailure(RunCli({"-o", "Simulate=true", "measure", "FREQUENCY"}), 1,
                {"hvzelta measure: measuring FREQUENCY on Output1: "});
  // Without simulation a resource is needed.
  ExpectFailure(RunCli({"-o", "Simulate=false", "info"}), 2, {"-r RESOURCE"});
}

}  // namespace
}  // namespace hvzelta
