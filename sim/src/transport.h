#pragma once

// A way of reaching the instrument. Each transport is one class in one file:
// it opens its endpoint, serves clients from threads of its own through
// ScpiSession, and stops promptly. Adding one (HiSLIP, say) touches only the
// emulator's list of transports.

#include <chrono>
#include <string>

#include "fault_plan.h"
#include "instrument.h"
#include "stop_signal.h"
#include "zta_sim/emulator.h"

namespace zta_sim {

struct TransportContext {
  Instrument& instrument;
  FaultPlan& faults;
  StopSignal& stop;
  std::string address;  // IPv4 address that network transports bind
  std::chrono::milliseconds idleTimeout{0};  // Options::idleTimeout
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Opens the endpoint and starts serving; throws std::system_error.
  virtual void Start() = 0;
  // Wakes and joins every thread of the transport; idempotent.
  virtual void Stop() = 0;
  // Fills in where this transport can be reached.
  virtual void Describe(Endpoints& endpoints) const = 0;
};

}  // namespace zta_sim
