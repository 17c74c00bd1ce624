#pragma once

// The subcommands of the hvzelta program. Each subcommand is one row of the
// table in main.cpp, defined in a file of its own; a new subcommand adds a
// file and a row.

#include <iosfwd>
#include <span>
#include <string_view>

namespace hvzelta::cli {

// Exit statuses of the program.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;             // the driver or the instrument failed the operation
constexpr int kExitUsage = 2;               // the command line was wrong
constexpr int kExitInstrumentReported = 3;  // the instrument reported errors or a failed self-test
constexpr int kExitNoSession = 4;           // no session: the resource or the option string was refused

struct Streams {
  std::ostream& out;
  std::ostream& err;
};

struct Command {
  std::string_view name;
  std::string_view summary;  // one line for the command overview
  std::string_view usage;    // the command's own help text
  // Runs the command with the words after its name.
  int (*run)(std::span<const std::string_view> words, Streams& streams);
  // Whether -r, -o, -c and --json may also come before the command's name
  // ("hvzelta -r RESOURCE get NAME"); they are handed to it first.
  bool takesSessionOptions = false;
};

extern const Command kConfigCommand;
extern const Command kRegisterCommand;
extern const Command kUnregisterCommand;
extern const Command kTraceCommand;
extern const Command kInfoCommand;
extern const Command kGetCommand;
extern const Command kSetCommand;
extern const Command kAttributesCommand;
extern const Command kMeasureCommand;
extern const Command kQueryCommand;
extern const Command kWriteCommand;
extern const Command kResetCommand;
extern const Command kSelfTestCommand;
extern const Command kErrorsCommand;
extern const Command kSimCommand;
extern const Command kDemoCommand;
extern const Command kListCommand;
extern const Command kPanelCommand;

}  // namespace hvzelta::cli
