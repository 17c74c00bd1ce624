#pragma once

// Runs the hvzelta program (or another) as a child process, its standard
// output and standard error apart, every wait bounded. The including test
// defines HVZELTA_CLI_PATH.

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <string>
#include <string_view>
#include <vector>

namespace hvzelta::testing {

struct CliResult {
  int status = -1;  // the exit status; -1 when the program did not exit in time or was killed
  std::string out;
  std::string err;
};

// Runs `program` with `words`; a program still running after `limit` is killed.
CliResult RunCli(const std::vector<std::string>& words, std::chrono::milliseconds limit = std::chrono::seconds(30),
                 const std::string& program = HVZELTA_CLI_PATH);

inline bool Contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

// A program left running, such as "hvzelta sim", its standard error going to `err` (-1: nowhere).
class RunningCli {
 public:
  explicit RunningCli(const std::vector<std::string>& words, int err = -1,
                      const std::string& program = HVZELTA_CLI_PATH);
  ~RunningCli() { Stop(SIGKILL); }
  RunningCli(const RunningCli&) = delete;
  RunningCli& operator=(const RunningCli&) = delete;

  // The next line of standard output without its newline; empty when none came in time.
  std::string ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(20));
  // Everything the program writes until it closes its standard output or `limit` passes.
  std::string ReadAll(std::chrono::milliseconds limit);
  // Sends `signal` (0: none) and returns the exit status, -1 when the program
  // did not end within `limit` (it is then killed) or died of a signal.
  int Stop(int signal, std::chrono::milliseconds limit = std::chrono::seconds(20));

 private:
  bool Fill(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffered_;
};

}  // namespace hvzelta::testing
