#include "support/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace hvzelta::testing {

using Clock = std::chrono::steady_clock;

// posix_spawn, not fork: the test program runs emulator threads, and only
// spawning is safe then.
RunningCli::RunningCli(const std::vector<std::string>& words, int err, const std::string& program) {
  std::vector<std::string> argv0{program};
  argv0.insert(argv0.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& word : argv0) argv.push_back(word.data());
  argv.push_back(nullptr);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  if (err >= 0) {
    posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  const int failed = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  out_ = out[0];
  if (failed) {
    close(out_);
    throw std::runtime_error("cannot start " + argv0.front());
  }
}

bool RunningCli::Fill(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  pollfd fd{out_, POLLIN, 0};
  if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) return false;
  char buffer[4096];
  const ssize_t got = read(out_, buffer, sizeof buffer);
  if (got > 0) buffered_.append(buffer, static_cast<std::size_t>(got));
  return got > 0;
}

std::string RunningCli::ReadLine(std::chrono::milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  std::size_t end;
  while ((end = buffered_.find('\n')) == std::string::npos) {
    if (!Fill(deadline)) return {};
  }
  std::string line = buffered_.substr(0, end);
  buffered_.erase(0, end + 1);
  return line;
}

std::string RunningCli::ReadAll(std::chrono::milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  while (Fill(deadline)) {
  }
  return std::exchange(buffered_, {});
}

int RunningCli::Stop(int signal, std::chrono::milliseconds limit) {
  if (pid_ <= 0) return -1;
  if (signal) kill(pid_, signal);
  const Clock::time_point deadline = Clock::now() + limit;
  int status = 0;
  pid_t done;
  while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline) usleep(5000);
  if (done == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  close(out_);
  return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CliResult RunCli(const std::vector<std::string>& words, std::chrono::milliseconds limit, const std::string& program) {
  const Clock::time_point deadline = Clock::now() + limit;
  FILE* errors = std::tmpfile();
  if (!errors) throw std::runtime_error("cannot make a temporary file");
  CliResult result;
  {
    RunningCli running(words, fileno(errors), program);
    result.out = running.ReadAll(limit);
    result.status = running.Stop(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
  }
  std::rewind(errors);
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, errors)) > 0;) result.err.append(buffer, got);
  std::fclose(errors);
  return result;
}

}  // namespace hvzelta::testing
