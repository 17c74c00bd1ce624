#pragma once

#include <csignal>

namespace zta_sim {

// SIGINT and SIGTERM end a program that serves in the foreground. Blocked
// before the emulator starts its threads, which inherit the mask, they reach
// only the wait below.
class StopSignals {
 public:
  StopSignals();
  // Returns once one of them has arrived.
  void Wait() const;

 private:
  sigset_t signals_;
};

}  // namespace zta_sim
