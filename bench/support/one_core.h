#pragma once

// Keeps a benchmark program, and every thread it starts from then on, on the
// core it runs on. A loopback round trip between two threads costs a context
// switch when they share a core, but a wake-up of the other core when they
// do not, which on a core left idle takes several times as long; without
// this, where the scheduler happens to put the server thread of a
// connection, and keeps it, would decide a figure more than the code does.

#include <sched.h>

namespace hvzelta::bench {

inline void StayOnOneCore() {
  const int core = sched_getcpu();
  if (core < 0) return;
  cpu_set_t cores;
  CPU_ZERO(&cores);
  CPU_SET(core, &cores);
  sched_setaffinity(0, sizeof cores, &cores);
}

}  // namespace hvzelta::bench
