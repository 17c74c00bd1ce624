#pragma once

// Runs one of the project's programs the way a user's shell would, for the
// tests of command-line tools.

#include <initializer_list>
#include <string>
#include <string_view>

namespace hvzelta::testing {

struct ProgramResult {
  int status = -1;     // the exit status; -1 when the program did not exit normally
  std::string output;  // standard output and error together
};

ProgramResult RunProgram(std::string_view program, std::initializer_list<std::string_view> words);

}  // namespace hvzelta::testing
