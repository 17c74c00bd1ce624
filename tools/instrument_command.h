#pragma once

// What the subcommands that talk to an instrument share: the session options
// (-r RESOURCE, -o OPTIONS, --no-status-check), --channel where it applies and
// --json; opening the session; and reporting a failure with the driver's own
// description, prefixed with what was being done.
//
// A command must not report success for a value the instrument refused, so
// the session polls the instrument's status after each exchange
// (QueryInstrStatus=true) unless --no-status-check or the option string says
// otherwise.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "command.h"
#include "instrument_session.h"

namespace hvzelta::cli {

// The resource of a simulated session that names none: the emulator's
// usual socket, so that the same command line works on "hvzelta sim".
constexpr std::string_view kSimulationResource = "TCPIP::127.0.0.1::5025::SOCKET";

// The option string the session is opened with: `options` with
// QueryInstrStatus=`checkStatus` in front, unless `options` names
// QueryInstrStatus itself.
std::string SessionOptions(std::string_view options, bool checkStatus);

// The help text of an instrument subcommand: its own part, then the options
// every such subcommand takes.
std::string InstrumentUsage(std::string_view synopsis, std::string_view description, bool takesChannel);

class InstrumentCommand {
 public:
  InstrumentCommand(std::string_view name, Streams& streams) : name_(name), streams_(streams) {}

  // False, after saying why, when the command line is wrong. `ownOptions`
  // are the command's own, beside the session options.
  bool Parse(std::span<const std::string_view> words, bool takesChannel,
             std::span<const OptionRule> ownOptions = {});

  const std::vector<std::string>& Positional() const { return arguments_.Positional(); }
  bool Json() const { return arguments_.Has("json"); }
  std::optional<std::string> Channel() const { return arguments_.Value("channel"); }
  std::optional<std::string> Value(std::string_view option) const { return arguments_.Value(option); }
  bool Has(std::string_view option) const { return arguments_.Has(option); }
  bool ChecksStatus() const { return !arguments_.Has("no-status-check"); }
  std::ostream& Out() { return streams_.out; }

  // Says what is wrong with the command line; returns kExitUsage.
  int UsageError(std::string_view problem);

  // The attribute `text` names; nullopt after saying that it names none, in
  // the driver's words for an unknown attribute.
  const AttributeInfo* Attribute(std::string_view text);

  // Opens the session the options name: 0, or the exit status after the
  // failure was reported.
  // `pollStatus` false opens without the status poll, whose opening
  // exchange would empty the error queue a command means to read.
  int Open(InstrumentSession& session, bool pollStatus = true);

  // True for success and for a warning (which is reported); false after
  // reporting a failure as "hvzelta NAME: DOING: DESCRIPTION". When the
  // driver found errors in the instrument's queue, those are shown too.
  bool Check(const InstrumentSession& session, ViStatus status, std::string_view doing);

  // For messages sent past the driver (direct I/O), which its status poll
  // does not follow: reads the instrument's error queue unless the status
  // check is off. False after reporting the errors found as "hvzelta NAME:
  // DOING: the instrument reported errors".
  bool CheckErrorQueue(const InstrumentSession& session, std::string_view doing);

  // The exit status after failures that Check reported.
  int FailureExit() const { return instrumentReported_ ? kExitInstrumentReported : kExitFailure; }

  // The channel the user named, else the first one of the kind the
  // attribute or function needs; nullopt after reporting a failure.
  std::optional<std::string> ChannelFor(const InstrumentSession& session, ChannelKind kind);

 private:
  std::string_view name_;
  Streams& streams_;
  Arguments arguments_;
  bool instrumentReported_ = false;
};

}  // namespace hvzelta::cli
