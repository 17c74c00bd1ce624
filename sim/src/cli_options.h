#pragma once

// The command line of hvzelta-sim, also read by "hvzelta sim".

#include <string>
#include <vector>

#include "zta_sim/emulator.h"

namespace zta_sim {

struct CommandLine {
  Options options;
  bool help = false;
  std::string error;  // empty when the command line was understood
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string Usage();

// The options part of Usage(), for programs that take the same options.
std::string OptionsHelp();

}  // namespace zta_sim
