// hvzelta: the command-line tool of the driver. One word chooses a
// subcommand from the table below; "hvzelta help COMMAND" shows its usage.

#include <array>
#include <iostream>
#include <span>
#include <string_view>
#include <vector>

#include "command.h"

namespace hvzelta::cli {
namespace {

constexpr std::array kCommands{&kConfigCommand, &kRegisterCommand, &kUnregisterCommand, &kTraceCommand};

const Command* Find(std::string_view name) {
  for (const Command* command : kCommands) {
    if (command->name == name) return command;
  }
  return nullptr;
}

void PrintOverview(std::ostream& out) {
  out << "usage: hvzelta COMMAND [ARGUMENTS]\n\ncommands:\n";
  for (const Command* command : kCommands) {
    out << "  " << command->name << std::string(12 - std::min<std::size_t>(command->name.size(), 11), ' ')
        << command->summary << "\n";
  }
  out << "\n'hvzelta help COMMAND' shows the usage of one command.\n"
      << "Exit status: 0 success, 1 the command failed, 2 the command line is wrong.\n";
}

int Run(std::span<const std::string_view> words) {
  Streams streams{std::cout, std::cerr};
  if (words.empty()) {
    PrintOverview(std::cerr);
    return kExitUsage;
  }
  const std::string_view first = words.front();
  if (first == "help" || first == "--help" || first == "-h") {
    if (words.size() < 2) {
      PrintOverview(std::cout);
      return kExitSuccess;
    }
    const Command* command = Find(words[1]);
    if (!command) {
      std::cerr << "hvzelta: unknown command '" << words[1] << "'\n";
      return kExitUsage;
    }
    std::cout << command->usage;
    return kExitSuccess;
  }
  const Command* command = Find(first);
  if (!command) {
    std::cerr << "hvzelta: unknown command '" << first << "' (see 'hvzelta help')\n";
    return kExitUsage;
  }
  const std::span<const std::string_view> rest = words.subspan(1);
  if (!rest.empty() && (rest.front() == "--help" || rest.front() == "-h")) {
    std::cout << command->usage;
    return kExitSuccess;
  }
  return command->run(rest, streams);
}

}  // namespace
}  // namespace hvzelta::cli

int main(int argc, char** argv) {
  const std::vector<std::string_view> words(argv + 1, argv + argc);
  return hvzelta::cli::Run(words);
}
