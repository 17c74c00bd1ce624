#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

extern char** environ;

namespace hvzelta::testing {

namespace {

using Clock = std::chrono::steady_clock;

// posix_spawn, not fork: the test program runs emulator threads, and only
// spawning is safe then.
pid_t Spawn(const std::vector<std::string>& words, int out, int err) {
  std::vector<std::string> argv0{HVZELTA_CLI_PATH};
  argv0.insert(argv0.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& word : argv0) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed) throw std::runtime_error("cannot start " + argv0.front());
  return pid;
}

void MakePipe(int ends[2]) {
  if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
}

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The exit status, waiting until `deadline`; -1 (after killing) when the
// program is still running then or died of a signal.
int Reap(pid_t pid, Clock::time_point deadline) {
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    usleep(5000);
  }
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& words, std::chrono::milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  int out[2];
  int err[2];
  MakePipe(out);
  MakePipe(err);
  const pid_t pid = Spawn(words, out[1], err[1]);
  close(out[1]);
  close(err[1]);
  CliResult result;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* targets[2] = {&result.out, &result.err};
  int openPipes = 2;
  while (openPipes > 0 && Clock::now() < deadline) {
    if (poll(fds, 2, MillisecondsUntil(deadline)) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        targets[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --openPipes;
      }
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  result.status = Reap(pid, deadline);
  return result;
}

RunningCli::RunningCli(const std::vector<std::string>& words) {
  int out[2];
  MakePipe(out);
  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  pid_ = Spawn(words, out[1], devNull);
  close(out[1]);
  close(devNull);
  out_ = out[0];
}

RunningCli::~RunningCli() {
  if (pid_ > 0) Stop(SIGKILL);
  if (out_ >= 0) close(out_);
}

std::string RunningCli::ReadLine(std::chrono::milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  for (;;) {
    if (const std::size_t end = buffered_.find('\n'); end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    pollfd fd{out_, POLLIN, 0};
    if (Clock::now() >= deadline || poll(&fd, 1, MillisecondsUntil(deadline)) <= 0) return {};
    char buffer[4096];
    const ssize_t got = read(out_, buffer, sizeof buffer);
    if (got <= 0) return {};
    buffered_.append(buffer, static_cast<std::size_t>(got));
  }
}

int RunningCli::Stop(int signal, std::chrono::milliseconds limit) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  const int status = Reap(pid_, Clock::now() + limit);
  pid_ = -1;
  return status;
}

}  // namespace hvzelta::testing
