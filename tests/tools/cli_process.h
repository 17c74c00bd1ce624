#pragma once

// Runs the hvzelta program as a child process, its standard output and
// standard error apart, every wait bounded.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace hvzelta::testing {

struct CliResult {
  int status = -1;  // the exit status; -1 when the program did not exit in time or was killed
  std::string out;
  std::string err;
};

// Runs the program with `words` and waits at most `limit` for it to end;
// a program still running then is killed.
CliResult RunCli(const std::vector<std::string>& words, std::chrono::milliseconds limit = std::chrono::seconds(30));

inline bool Contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

// A program left running, such as "hvzelta sim": read its first line, then
// stop it with a signal.
class RunningCli {
 public:
  explicit RunningCli(const std::vector<std::string>& words);
  ~RunningCli();  // kills the program if it still runs
  RunningCli(const RunningCli&) = delete;
  RunningCli& operator=(const RunningCli&) = delete;

  // The next line of standard output, without its newline; empty when
  // none came within `limit`.
  std::string ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(20));

  // Sends `signal` and waits at most `limit` for the exit status (-1 when
  // the program did not end in time; it is then killed).
  int Stop(int signal, std::chrono::milliseconds limit = std::chrono::seconds(20));

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffered_;
};

}  // namespace hvzelta::testing
