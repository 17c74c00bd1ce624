// hvzelta: the command-line tool of the driver. One word chooses a
// subcommand from the table below; "hvzelta help COMMAND" shows its usage.

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "command.h"
#include "hvzelta_version.h"

namespace hvzelta::cli {
namespace {

constexpr std::array kCommands{&kInfoCommand,     &kGetCommand,    &kSetCommand,      &kAttributesCommand,
                               &kMeasureCommand,  &kQueryCommand,  &kWriteCommand,    &kResetCommand,
                               &kSelfTestCommand, &kErrorsCommand, &kSimCommand,      &kDemoCommand,
                               &kConfigCommand,   &kTraceCommand,  &kRegisterCommand, &kUnregisterCommand,
                               &kListCommand,     &kPanelCommand};

const Command* Find(std::string_view name) {
  for (const Command* command : kCommands) {
    if (command->name == name) return command;
  }
  return nullptr;
}

// Whether `word` is a session option whose value is the next word.
bool TakesValue(std::string_view word) {
  for (const std::string_view option : {"-r", "--resource", "-o", "--options", "-c", "--channel"}) {
    if (word == option) return true;
  }
  return false;
}

// Takes "--io-log" and "--io-log=DESTINATION" out of `words` (before any
// "--") and hands the destination to the driver through the variable it
// reads, so every session the command opens logs its I/O; the last one given
// counts. False with `error` set for an empty destination.
bool TakeIoLogOption(std::vector<std::string_view>& words, std::string& error) {
  constexpr std::string_view kOption = "--io-log";
  for (auto word = words.begin(); word != words.end() && *word != "--";) {
    if (*word != kOption && !word->starts_with("--io-log=")) {
      ++word;
      continue;
    }
    const std::string destination(*word == kOption ? "stderr" : word->substr(kOption.size() + 1));
    if (destination.empty()) {
      error = "--io-log= needs stderr, stdout or a file path (--io-log alone logs to stderr)";
      return false;
    }
    ::setenv("HVZELTA_IO_LOG", destination.c_str(), 1);
    word = words.erase(word);
  }
  return true;
}

void PrintOverview(std::ostream& out) {
  out << "usage: hvzelta [-r RESOURCE] [-o OPTIONS] [--json] [--no-status-check] [--io-log[=FILE]] COMMAND\n"
         "               [ARGUMENTS]\n"
         "       hvzelta --version\n\n"
         "commands:\n";
  for (const Command* command : kCommands) {
    out << "  " << command->name << std::string(12 - std::min<std::size_t>(command->name.size(), 11), ' ')
        << command->summary << "\n";
  }
  out << "\n"
         "options of the commands that talk to an instrument (before or after the command):\n"
         "  -r, --resource RESOURCE  VISA resource string or logical name of the instrument,\n"
         "                           e.g. TCPIP::192.0.2.7::5025::SOCKET\n"
         "  -o, --options OPTIONS    the driver's option string, e.g. \"Simulate=true\"; with\n"
         "                           Simulate=true the resource may be left out\n"
         "  -c, --channel NAME       output or output phase of get, set and measure\n"
         "  --json                   print one JSON document on standard output\n"
         "  --no-status-check        do not read the instrument's error state after each\n"
         "                           command (by default QueryInstrStatus=true, and a value the\n"
         "                           instrument refused ends the command with exit status 3)\n"
         "  --io-log[=FILE]          log every message sent to and read from the instrument to\n"
         "                           standard error, or append it to FILE (or stdout)\n"
         "\n"
         "'hvzelta help COMMAND' or 'hvzelta COMMAND --help' shows the usage of one command;\n"
         "short options take their value attached too (-rTCPIP::192.0.2.7::INSTR).\n"
         "\n"
         "exit status:\n"
         "  0  success\n"
         "  1  the driver or the instrument failed the operation\n"
         "  2  the command line is wrong\n"
         "  3  the instrument reported errors (it refused a command, its error queue was not\n"
         "     empty, or its self test failed)\n"
         "  4  no session: the resource could not be opened or the option string was refused\n";
}

int Run(std::vector<std::string_view> words) {
  Streams streams{std::cout, std::cerr};
  if (AsksForHelp(words)) {
    // "--help" anywhere: the usage of the command on the line, else the
    // overview. The command is the first known name that is no option's value.
    const Command* named = nullptr;
    for (std::size_t i = 0; i < words.size() && words[i] != "--" && !named; ++i) {
      if (TakesValue(words[i])) {
        ++i;
      } else if (!words[i].starts_with('-')) {
        named = Find(words[i]);
      }
    }
    if (named) {
      std::cout << named->usage;
    } else {
      PrintOverview(std::cout);
    }
    return kExitSuccess;
  }
  bool version = false;
  std::string error;
  if (!TakeIoLogOption(words, error)) {
    std::cerr << "hvzelta: " << error << "\n";
    return kExitUsage;
  }
  const auto commandIndex = LeadingOptionsEnd(words, version, error);
  if (!commandIndex) {
    std::cerr << "hvzelta: " << error << " (see 'hvzelta help')\n";
    return kExitUsage;
  }
  if (version) {
    std::cout << "hvzelta " << HVZELTA_VERSION << "\n";
    return kExitSuccess;
  }
  if (*commandIndex == words.size()) {
    PrintOverview(std::cerr);
    return kExitUsage;
  }
  const std::string_view first = words[*commandIndex];
  if (first == "help") {
    if (*commandIndex + 1 >= words.size()) {
      PrintOverview(std::cout);
      return kExitSuccess;
    }
    const Command* named = Find(words[*commandIndex + 1]);
    if (!named) {
      std::cerr << "hvzelta: unknown command '" << words[*commandIndex + 1] << "'\n";
      return kExitUsage;
    }
    std::cout << named->usage;
    return kExitSuccess;
  }
  const Command* found = Find(first);
  if (!found) {
    std::cerr << "hvzelta: unknown command '" << first << "' (see 'hvzelta help')\n";
    return kExitUsage;
  }
  if (*commandIndex > 0 && !found->takesSessionOptions) {
    std::cerr << "hvzelta: '" << first << "' takes no " << words.front() << " (see 'hvzelta help " << first
              << "')\n";
    return kExitUsage;
  }
  std::vector<std::string_view> commandWords(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(*commandIndex));
  commandWords.insert(commandWords.end(), words.begin() + static_cast<std::ptrdiff_t>(*commandIndex) + 1, words.end());
  return found->run(commandWords, streams);
}

}  // namespace
}  // namespace hvzelta::cli

int main(int argc, char** argv) {
  return hvzelta::cli::Run(std::vector<std::string_view>(argv + 1, argv + argc));
}
