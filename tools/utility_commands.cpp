// "hvzelta reset", "hvzelta selftest" and "hvzelta errors": the driver's
// utility functions.

#include <ostream>
#include <vector>

#include "instrument_command.h"
#include "json_output.h"
#include "progress.h"

namespace hvzelta::cli {
namespace {

// Opens the session for a subcommand without arguments; 0 or an exit status.
int OpenBare(InstrumentCommand& command, std::span<const std::string_view> words, InstrumentSession& session,
             bool pollStatus = true) {
  if (!command.Parse(words, false)) return kExitUsage;
  if (!command.Positional().empty()) return command.UsageError("unexpected argument '" + command.Positional()[0] + "'");
  return command.Open(session, pollStatus);
}

int Reset(std::span<const std::string_view> words, Streams& streams) {
  InstrumentCommand command("reset", streams);
  InstrumentSession session;
  if (const int status = OpenBare(command, words, session)) return status;
  ViStatus status = VI_SUCCESS;
  {
    const Progress progress("resetting the instrument");
    status = hvzelta_reset(session.Handle());
  }
  if (!command.Check(session, status, "resetting")) return command.FailureExit();
  if (command.Json()) {
    PrintJson(command.Out(), {{"reset", true}});
  }
  return kExitSuccess;
}

int SelfTest(std::span<const std::string_view> words, Streams& streams) {
  InstrumentCommand command("selftest", streams);
  InstrumentSession session;
  if (const int status = OpenBare(command, words, session)) return status;
  ViInt16 result = 0;
  ViChar message[256] = {};
  ViStatus status = VI_SUCCESS;
  {
    const Progress progress("running the self test");
    status = hvzelta_self_test(session.Handle(), &result, message);
  }
  if (!command.Check(session, status, "running the self test")) return command.FailureExit();
  if (command.Json()) {
    PrintJson(command.Out(), {{"result", result}, {"message", message}});
  } else {
    command.Out() << result << " " << message << "\n";
  }
  return result == 0 ? kExitSuccess : kExitInstrumentReported;
}

int Errors(std::span<const std::string_view> words, Streams& streams) {
  InstrumentCommand command("errors", streams);
  InstrumentSession session;
  if (const int status = OpenBare(command, words, session, false)) return status;
  std::vector<InstrumentError> errors;
  if (!command.Check(session, session.ReadErrorQueue(errors), "reading the error queue")) {
    return command.FailureExit();
  }
  if (errors.size() == kMostQueuedErrors) {
    streams.err << "hvzelta errors: stopped after " << kMostQueuedErrors << " errors; the queue does not empty\n";
  }
  if (command.Json()) {
    Json list = Json::array();
    for (const InstrumentError& error : errors) list.push_back({{"code", error.code}, {"message", error.message}});
    PrintJson(command.Out(), list);
  } else {
    for (const InstrumentError& error : errors) command.Out() << error.code << ", \"" << error.message << "\"\n";
    if (errors.empty()) command.Out() << "0, \"No error\"\n";
  }
  return errors.empty() ? kExitSuccess : kExitInstrumentReported;
}

const std::string kResetUsage = InstrumentUsage("reset",
                                                "Resets the instrument to its power-on settings and the driver's\n"
                                                "settings with it.\n",
                                                false);
const std::string kSelfTestUsage = InstrumentUsage("selftest",
                                                   "Runs the instrument's self test and prints its result code and\n"
                                                   "message; exit status 3 when the result is not 0 (passed).\n",
                                                   false);
const std::string kErrorsUsage =
    InstrumentUsage("errors",
                    "Reads the instrument's error queue until it answers \"No error\" and\n"
                    "prints each error as CODE, \"MESSAGE\"; exit status 3 when there were any.\n",
                    false);

}  // namespace

const Command kResetCommand{"reset", "reset the instrument", kResetUsage, &Reset, true};
const Command kSelfTestCommand{"selftest", "run the instrument's self test", kSelfTestUsage, &SelfTest, true};
const Command kErrorsCommand{"errors", "read the instrument's error queue until it is empty", kErrorsUsage, &Errors,
                             true};

}  // namespace hvzelta::cli
