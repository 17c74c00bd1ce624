#pragma once

// Every user setting of the instrument, its reset value and its limits, and
// the descriptor tables through which the generic command handlers reach
// them: numeric settings, settings that take one of a few words, and
// on/off settings.

#include <cstddef>
#include <span>
#include <string_view>

#include "model_catalog.h"

namespace zta_sim {

enum class Coupling { AC, DC, ACDC, ExtAC, ExtDC };
enum class TriggerSource { Immediate, Bus };
enum class HoldTime { Short, Long };
enum class AmmeterItem { Rms, Average, Peak, Wattage };

// The two output ranges, volts rms.
inline constexpr double kLowRange = 155.0;
inline constexpr double kHighRange = 310.0;

struct Settings {
  bool output = false;
  Coupling coupling = Coupling::AC;
  double voltage = 0.0;        // AC level, volts rms
  double voltageOffset = 0.0;  // DC level, volts
  double voltageRange = kLowRange;
  double frequency = 60.0;
  double currentLimit = 0.0;   // AC current limit, amperes rms
  double currentOffset = 0.0;  // DC current limit, amperes
  double syncPhase = 0.0;      // degrees
  // Values that a transient trigger applies. Each one follows its immediate
  // value until it is programmed; then it waits for the next trigger.
  double triggeredVoltage = 0.0;
  double triggeredVoltageOffset = 0.0;
  double triggeredFrequency = 60.0;
  unsigned programmedTriggered = 0;  // bits of kTriggered* below
  bool tripOnCurrentLimit = false;   // otherwise the output regulates at the limit
  bool syncOnPhase = false;          // changes wait for the phase angle syncPhase
  TriggerSource transientSource = TriggerSource::Immediate;
  TriggerSource acquireSource = TriggerSource::Immediate;
  bool continuousAcquire = false;
  int averageCount = 1;
  HoldTime holdTime = HoldTime::Short;
  AmmeterItem ammeter = AmmeterItem::Rms;
};

inline constexpr unsigned kTriggeredVoltage = 1;
inline constexpr unsigned kTriggeredVoltageOffset = 2;
inline constexpr unsigned kTriggeredFrequency = 4;

Settings ResetSettings(const ModelInfo& model);

// Switches the range and pulls every voltage into it.
void SelectVoltageRange(Settings& settings, double range);

struct Limits {
  double min;
  double max;
  double reset;
};

enum class Unit { None, Volt, Ampere, Hertz, Degree };

enum class NumericSetting {
  Voltage,
  TriggeredVoltage,
  VoltageOffset,
  TriggeredVoltageOffset,
  Frequency,
  TriggeredFrequency,
  CurrentLimit,
  CurrentOffset,
  SyncPhase,
};

struct NumericSettingInfo {
  double Settings::*value;
  Unit unit;
  Limits (*limits)(const ModelInfo& model, const Settings& settings);
  double Settings::*follower;  // the triggered value that follows this one, or nullptr
  unsigned triggeredBit;       // the triggered value's bit in programmedTriggered, or 0
};

const NumericSettingInfo& Describe(NumericSetting setting);

// One accepted word of a setting: short and long form (upper case) and the
// word the instrument answers with.
struct ChoiceWord {
  std::string_view shortForm;
  std::string_view longForm;
  std::string_view reply;
};

enum class ChoiceSetting { Coupling, SyncSource, TransientSource, AcquireSource, HoldTime, Ammeter };

struct ChoiceSettingInfo {
  std::span<const ChoiceWord> words;
  int (*get)(const Settings& settings);
  void (*set)(Settings& settings, int choice);
};

const ChoiceSettingInfo& Describe(ChoiceSetting setting);

enum class SwitchSetting { TripOnCurrentLimit, ContinuousAcquire };

struct SwitchSettingInfo {
  bool Settings::*value;
};

const SwitchSettingInfo& Describe(SwitchSetting setting);

}  // namespace zta_sim
