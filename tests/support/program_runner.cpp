#include "support/program_runner.h"

#include <sys/wait.h>

#include <cstdio>

namespace hvzelta::testing {

namespace {

std::string Quote(std::string_view word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

ProgramResult RunProgram(std::string_view program, std::initializer_list<std::string_view> words) {
  std::string command = Quote(program);
  for (std::string_view word : words) command += " " + Quote(word);
  command += " 2>&1";
  ProgramResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace hvzelta::testing
