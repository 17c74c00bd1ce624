#include "zta_sim/emulator.h"

#include <utility>

#include "fault_plan.h"
#include "hislip_transport.h"
#include "instrument.h"
#include "model_catalog.h"
#include "serial_pty_transport.h"
#include "socket_transport.h"
#include "stop_signal.h"
#include "transport.h"
#include "vxi11_transport.h"

namespace zta_sim {

struct Emulator::State {
  explicit State(const Options& options)
      : instrument(Describe(options.model),
                   options.idn.empty() ? DefaultIdentity(Describe(options.model)) : options.idn, options.load,
                   options.noise, options.seed, options.verbose),
        faults(options.faults, options.seed) {}

  Instrument instrument;
  FaultPlan faults;
  StopSignal stop;
  std::vector<std::unique_ptr<Transport>> transports;
  bool started = false;
  bool stopped = false;
};

Emulator::Emulator(Options options) : options_(std::move(options)), state_(std::make_unique<State>(options_)) {}

Emulator::~Emulator() { Stop(); }

Endpoints Emulator::Start() {
  State& r = *state_;
  Endpoints endpoints;
  endpoints.address = options_.bindAddress;
  if (r.started) {
    for (const auto& transport : r.transports) transport->Describe(endpoints);
    return endpoints;
  }
  r.started = true;
  const TransportContext context{r.instrument, r.faults, r.stop, options_.bindAddress, options_.idleTimeout};
  if (options_.socket) r.transports.push_back(std::make_unique<SocketTransport>(context, options_.socketPort));
  if (options_.serial) r.transports.push_back(std::make_unique<SerialPtyTransport>(context));
  if (options_.vxi11) {
    r.transports.push_back(std::make_unique<Vxi11Transport>(context, options_.vxi11Port, options_.portmapperPort));
  }
  if (options_.hislip) r.transports.push_back(std::make_unique<HislipTransport>(context, options_.hislipPort));
  try {
    for (const auto& transport : r.transports) transport->Start();
  } catch (...) {
    Stop();
    throw;
  }
  for (const auto& transport : r.transports) transport->Describe(endpoints);
  return endpoints;
}

void Emulator::Stop() {
  State& r = *state_;
  if (!r.started || r.stopped) return;
  r.stopped = true;
  r.stop.Raise();
  for (auto it = r.transports.rbegin(); it != r.transports.rend(); ++it) (*it)->Stop();
}

void Emulator::SetLoad(const Load& load) { state_->instrument.SetLoad(load); }

void Emulator::ArmFault(FaultKind kind) { state_->faults.Arm(kind); }

std::uint64_t Emulator::MessageCount() const { return state_->faults.Count(); }

std::uint64_t Emulator::FaultCount() const { return state_->faults.FaultCount(); }

}  // namespace zta_sim
