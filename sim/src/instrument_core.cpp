#include "instrument_core.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zta_sim {

InstrumentCore::InstrumentCore(const ModelInfo& model, std::string identity, const Load& load, double noise,
                               std::uint64_t seed)
    : settings(ResetSettings(model)),
      model_(model),
      identity_(std::move(identity)),
      load_(Sanitized(load)),
      noise_(noise, seed) {
  memories_.fill(settings);
  Refresh();
}

void InstrumentCore::Error(ScpiError error) {
  status.eventStatus |= EventStatusBit(error);
  if (!errors.Push(error)) status.eventStatus |= EventStatusBit(ScpiError::QueueOverflow);
}

void InstrumentCore::Refresh() {
  const Coupling c = settings.coupling;
  OutputDemand demand;
  demand.on = settings.output && !tripped_;
  demand.ac = c != Coupling::DC;
  demand.dc = c == Coupling::DC || c == Coupling::ACDC || c == Coupling::ExtDC;
  demand.acVolts = settings.voltage;
  demand.dcVolts = settings.voltageOffset;
  demand.frequency = settings.frequency;
  demand.acLimit = settings.currentLimit;
  demand.dcLimit = settings.currentOffset;
  demand.regulate = !settings.tripOnCurrentLimit;
  point_ = Solve(demand, load_);
  if (point_.overLimit && !demand.regulate) {
    tripped_ = true;
    settings.output = false;
    demand.on = false;
    point_ = Solve(demand, load_);
  }
  peakHold_ = std::max(peakHold_, PeakCurrent(point_));
  status.operation.Update(OperationCondition());
  status.questionable.Update(QuestionableCondition());
}

void InstrumentCore::Reset() {
  settings = ResetSettings(model_);
  tripped_ = false;
  transientInitiated_ = false;
  acquireInitiated_ = false;
  acquisition_.reset();
  peakHold_ = 0.0;
  Refresh();
}

void InstrumentCore::ClearStatus() {
  errors.Clear();
  status.eventStatus = 0;
  status.operation.event = 0;
  status.questionable.event = 0;
}

void InstrumentCore::SetLoad(const Load& load) {
  load_ = Sanitized(load);
  Refresh();
}

std::uint8_t InstrumentCore::StatusByte(bool messageAvailable) const {
  return status.StatusByte(errors.Count() > 0, messageAvailable);
}

void InstrumentCore::ClearProtection() {
  if (!tripped_) return;
  tripped_ = false;
  settings.output = true;
  Refresh();
}

void InstrumentCore::InitiateTransient() {
  if (transientInitiated_) return Error(ScpiError::InitIgnored);
  if (settings.transientSource == TriggerSource::Immediate) return ApplyTriggered();
  transientInitiated_ = true;
}

void InstrumentCore::InitiateAcquire() {
  if (acquireInitiated_ || settings.continuousAcquire) return Error(ScpiError::InitIgnored);
  if (settings.acquireSource == TriggerSource::Immediate) return Acquire();
  acquireInitiated_ = true;
  acquisition_.reset();  // the one under way replaces it
}

void InstrumentCore::Abort() {
  transientInitiated_ = false;
  acquireInitiated_ = false;
}

void InstrumentCore::BusTrigger() {
  bool used = false;
  if (transientInitiated_ && settings.transientSource == TriggerSource::Bus) {
    transientInitiated_ = false;
    ApplyTriggered();
    used = true;
  }
  if (acquireInitiated_ && settings.acquireSource == TriggerSource::Bus) {
    acquireInitiated_ = false;
    Acquire();
    used = true;
  }
  if (!used) Error(ScpiError::TriggerIgnored);
  Refresh();
}

std::optional<Readings> InstrumentCore::Fetch() {
  if (settings.continuousAcquire) Acquire();
  return acquisition_;
}

Readings InstrumentCore::Measure() {
  acquireInitiated_ = false;
  Acquire();
  return *acquisition_;
}

void InstrumentCore::ClearPeakHold() { peakHold_ = PeakCurrent(point_); }

void InstrumentCore::Save(int slot) { memories_.at(static_cast<std::size_t>(slot)) = settings; }

void InstrumentCore::Recall(int slot) {
  settings = memories_.at(static_cast<std::size_t>(slot));
  if (tripped_) settings.output = false;
  Refresh();
}

void InstrumentCore::ApplyTriggered() {
  settings.voltage = settings.triggeredVoltage;
  settings.voltageOffset = settings.triggeredVoltageOffset;
  settings.frequency = settings.triggeredFrequency;
  settings.programmedTriggered = 0;
  Refresh();
}

void InstrumentCore::Acquire() {
  acquisition_ = ReadingsOf(noise_.Perturb(point_, settings.averageCount), peakHold_);
}

std::uint16_t InstrumentCore::OperationCondition() const {
  std::uint16_t bits = 0;
  if (settings.continuousAcquire) bits |= kOperMeasuring;
  if (transientInitiated_ || acquireInitiated_) bits |= kOperWaitingForTrigger;
  if (point_.limited) bits |= kOperConstantCurrent;
  else if (settings.output) bits |= kOperConstantVoltage;
  return bits;
}

std::uint16_t InstrumentCore::QuestionableCondition() const {
  std::uint16_t bits = raisedQuestionable;
  if (point_.limited || tripped_) bits |= kQuesOverCurrent;
  if (point_.acVolts * point_.acAmps + std::abs(point_.dcVolts * point_.dcAmps) > model_.ratedPowerVa) {
    bits |= kQuesOverPower;
  }
  if (PeakCurrent(point_) > model_.maxCurrentPeak) bits |= kQuesPeakCurrent;
  return bits;
}

}  // namespace zta_sim
