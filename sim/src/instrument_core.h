#pragma once

// The instrument behind the command set: settings, output physics and
// protection, trigger and acquisition system, stored setups, status and
// error queue. Not thread-safe: Instrument serialises access to it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "error_queue.h"
#include "instrument_settings.h"
#include "load_model.h"
#include "measurement.h"
#include "model_catalog.h"
#include "status_registers.h"

namespace zta_sim {

class InstrumentCore {
 public:
  static constexpr int kMemories = 10;

  InstrumentCore(const ModelInfo& model, std::string identity, const Load& load, double noise,
                 std::uint64_t seed);

  const ModelInfo& model() const { return model_; }
  const std::string& identity() const { return identity_; }

  // Handlers change settings directly; Refresh() follows every command.
  Settings settings;
  StatusRegisters status;
  ErrorQueue errors;
  // Questionable condition bits held raised whatever the output does, as a
  // fault of the hardware would: over-voltage 0x1, over-temperature 0x10,
  // unregulated 0x100 (DIAGnostic:QUEStionable); *RST keeps them.
  std::uint16_t raisedQuestionable = 0;

  // Queues the error and sets its event status bit.
  void Error(ScpiError error);
  // Re-derives the output from the settings and the load: limits, trips,
  // status conditions and the peak hold.
  void Refresh();
  void Reset();
  void ClearStatus();
  void SetLoad(const Load& load);
  std::uint8_t StatusByte(bool messageAvailable) const;

  bool tripped() const { return tripped_; }
  // Lifts a trip and turns the output back on.
  void ClearProtection();

  void InitiateTransient();
  void InitiateAcquire();
  void Abort();
  void BusTrigger();

  // The last acquisition (a fresh one while acquiring continuously); empty
  // when none is complete.
  std::optional<Readings> Fetch();
  // Acquires now, whatever the trigger source.
  Readings Measure();
  void ClearPeakHold();

  void Save(int slot);
  void Recall(int slot);

 private:
  void ApplyTriggered();
  void Acquire();
  std::uint16_t OperationCondition() const;
  std::uint16_t QuestionableCondition() const;

  const ModelInfo& model_;
  const std::string identity_;
  Load load_;
  MeasurementNoise noise_;
  OperatingPoint point_;
  bool tripped_ = false;
  bool transientInitiated_ = false;
  bool acquireInitiated_ = false;
  double peakHold_ = 0.0;
  std::optional<Readings> acquisition_;
  std::array<Settings, kMemories> memories_;
};

}  // namespace zta_sim
