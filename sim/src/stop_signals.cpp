#include "stop_signals.h"

#include <pthread.h>

namespace zta_sim {

StopSignals::StopSignals() {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
}

void StopSignals::Wait() const {
  int received = 0;
  sigwait(&signals_, &received);
}

}  // namespace zta_sim
