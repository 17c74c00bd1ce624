#include "instrument.h"

#include <utility>

#include "program_executor.h"

namespace zta_sim {

Instrument::Instrument(const ModelInfo& model, std::string identity, const Load& load, double noise,
                       std::uint64_t seed)
    : core_(model, std::move(identity), load, noise, seed) {}

void Instrument::Execute(std::string_view message, std::string& reply) {
  const std::lock_guard lock(mutex_);
  ExecuteProgramMessage(core_, message, reply);
}

void Instrument::ReportError(ScpiError error) {
  const std::lock_guard lock(mutex_);
  core_.Error(error);
}

std::uint8_t Instrument::StatusByte(bool messageAvailable) {
  const std::lock_guard lock(mutex_);
  return core_.StatusByte(messageAvailable);
}

void Instrument::BusTrigger() {
  const std::lock_guard lock(mutex_);
  core_.BusTrigger();
}

void Instrument::SetLoad(const Load& load) {
  const std::lock_guard lock(mutex_);
  core_.SetLoad(load);
}

}  // namespace zta_sim
