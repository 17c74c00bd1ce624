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
constexpr int kExitFailure = 1;  // the command ran and failed
constexpr int kExitUsage = 2;    // the command line was wrong

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
};

extern const Command kConfigCommand;
extern const Command kRegisterCommand;
extern const Command kUnregisterCommand;
extern const Command kTraceCommand;

}  // namespace hvzelta::cli
