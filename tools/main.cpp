// hvzelta: the command-line tool of the driver. One word chooses a
// subcommand from the table below; "hvzelta help COMMAND" shows its usage.

#include <algorithm>
#include <array>
#include <iostream>
#include <span>
#include <string_view>
#include <vector>

#include "command.h"

namespace hvzelta::cli {
namespace {

constexpr std::array kCommands{&kInfoCommand,     &kGetCommand,    &kSetCommand,      &kAttributesCommand,
                               &kMeasureCommand,  &kQueryCommand,  &kWriteCommand,    &kResetCommand,
                               &kSelfTestCommand, &kErrorsCommand, &kSimCommand,      &kDemoCommand,
                               &kConfigCommand,   &kTraceCommand,  &kRegisterCommand, &kUnregisterCommand};

// The options that may come before the command's name, and whether each
// takes a value.
struct LeadingOption {
  std::string_view word;
  bool takesValue;
};
constexpr LeadingOption kLeadingOptions[] = {
    {"-r", true}, {"--resource", true}, {"-o", true},      {"--options", true},
    {"-c", true}, {"--channel", true},  {"--json", false}, {"--no-status-check", false}};

const Command* Find(std::string_view name) {
  for (const Command* command : kCommands) {
    if (command->name == name) return command;
  }
  return nullptr;
}

void PrintOverview(std::ostream& out) {
  out << "usage: hvzelta [-r RESOURCE] [-o OPTIONS] [--json] [--no-status-check] COMMAND [ARGUMENTS]\n\n"
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
         "\n"
         "'hvzelta help COMMAND' shows the usage of one command.\n"
         "\n"
         "exit status:\n"
         "  0  success\n"
         "  1  the driver or the instrument failed the operation\n"
         "  2  the command line is wrong\n"
         "  3  the instrument reported errors (it refused a command, its error queue was not\n"
         "     empty, or its self test failed)\n"
         "  4  no session: the resource could not be opened or the option string was refused\n";
}

// Splits off the session options before the command's name; false when one
// is unknown or lacks its value.
bool SplitLeadingOptions(std::span<const std::string_view> words, std::vector<std::string_view>& leading,
                         std::size_t& commandIndex) {
  std::size_t i = 0;
  while (i < words.size() && words[i].starts_with('-') && words[i] != "-h" && words[i] != "--help") {
    const std::string_view word = words[i];
    const std::string_view name = word.substr(0, word.find('='));
    const auto option = std::find_if(std::begin(kLeadingOptions), std::end(kLeadingOptions),
                                     [&](const LeadingOption& o) { return o.word == name; });
    if (option == std::end(kLeadingOptions)) {
      std::cerr << "hvzelta: unknown option '" << word << "' (see 'hvzelta help')\n";
      return false;
    }
    leading.push_back(words[i++]);
    if (option->takesValue && name == word) {
      if (i == words.size()) {
        std::cerr << "hvzelta: option " << word << " needs a value\n";
        return false;
      }
      leading.push_back(words[i++]);
    }
  }
  commandIndex = i;
  return true;
}

int Run(std::span<const std::string_view> words) {
  Streams streams{std::cout, std::cerr};
  std::vector<std::string_view> leading;
  std::size_t commandIndex = 0;
  if (!SplitLeadingOptions(words, leading, commandIndex)) return kExitUsage;
  if (commandIndex == words.size()) {
    PrintOverview(std::cerr);
    return kExitUsage;
  }
  const std::string_view first = words[commandIndex];
  if (first == "help" || first == "--help" || first == "-h") {
    if (commandIndex + 1 >= words.size()) {
      PrintOverview(std::cout);
      return kExitSuccess;
    }
    const Command* command = Find(words[commandIndex + 1]);
    if (!command) {
      std::cerr << "hvzelta: unknown command '" << words[commandIndex + 1] << "'\n";
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
  if (!leading.empty() && !command->takesSessionOptions) {
    std::cerr << "hvzelta: '" << first << "' takes no " << leading.front() << " (see 'hvzelta help " << first << "')\n";
    return kExitUsage;
  }
  const std::span<const std::string_view> rest = words.subspan(commandIndex + 1);
  if (!rest.empty() && (rest.front() == "--help" || rest.front() == "-h")) {
    std::cout << command->usage;
    return kExitSuccess;
  }
  std::vector<std::string_view> commandWords = leading;
  commandWords.insert(commandWords.end(), rest.begin(), rest.end());
  return command->run(commandWords, streams);
}

}  // namespace
}  // namespace hvzelta::cli

int main(int argc, char** argv) {
  const std::vector<std::string_view> words(argv + 1, argv + argc);
  return hvzelta::cli::Run(words);
}
