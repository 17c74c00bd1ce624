#include "instrument_settings.h"

#include <algorithm>
#include <array>
#include <type_traits>

namespace zta_sim {

namespace {

// The DC offset reaches a little beyond the AC peak of its range.
double OffsetSpan(double range) { return range == kLowRange ? 217.0 : 434.0; }

Limits VoltageLimits(const ModelInfo&, const Settings& s) { return {0.0, s.voltageRange, 0.0}; }
Limits OffsetLimits(const ModelInfo&, const Settings& s) {
  return {-OffsetSpan(s.voltageRange), OffsetSpan(s.voltageRange), 0.0};
}
Limits FrequencyLimits(const ModelInfo&, const Settings&) { return {40.0, 500.0, 60.0}; }
Limits CurrentLimits(const ModelInfo& m, const Settings&) { return {0.0, m.maxCurrentRms, m.maxCurrentRms}; }
Limits PhaseLimits(const ModelInfo&, const Settings&) { return {0.0, 359.9, 0.0}; }

constexpr std::array<NumericSettingInfo, 9> kNumeric{{
    {&Settings::voltage, Unit::Volt, VoltageLimits, &Settings::triggeredVoltage, kTriggeredVoltage},
    {&Settings::triggeredVoltage, Unit::Volt, VoltageLimits, nullptr, kTriggeredVoltage},
    {&Settings::voltageOffset, Unit::Volt, OffsetLimits, &Settings::triggeredVoltageOffset, kTriggeredVoltageOffset},
    {&Settings::triggeredVoltageOffset, Unit::Volt, OffsetLimits, nullptr, kTriggeredVoltageOffset},
    {&Settings::frequency, Unit::Hertz, FrequencyLimits, &Settings::triggeredFrequency, kTriggeredFrequency},
    {&Settings::triggeredFrequency, Unit::Hertz, FrequencyLimits, nullptr, kTriggeredFrequency},
    {&Settings::currentLimit, Unit::Ampere, CurrentLimits, nullptr, 0},
    {&Settings::currentOffset, Unit::Ampere, CurrentLimits, nullptr, 0},
    {&Settings::syncPhase, Unit::Degree, PhaseLimits, nullptr, 0},
}};

constexpr std::array<ChoiceWord, 5> kCouplingWords{{
    {"AC", "AC", "AC"},
    {"DC", "DC", "DC"},
    {"ACDC", "ACDC", "ACDC"},
    {"EXTAC", "EXTAC", "EXTAC"},
    {"EXTDC", "EXTDC", "EXTDC"},
}};
constexpr std::array<ChoiceWord, 2> kSyncWords{{{"IMM", "IMMEDIATE", "IMM"}, {"PHAS", "PHASE", "PHAS"}}};
constexpr std::array<ChoiceWord, 2> kSourceWords{{{"IMM", "IMMEDIATE", "IMM"}, {"BUS", "BUS", "BUS"}}};
constexpr std::array<ChoiceWord, 2> kHoldWords{{{"SHOR", "SHORT", "SHORT"}, {"LONG", "LONG", "LONG"}}};
constexpr std::array<ChoiceWord, 4> kAmmeterWords{{
    {"RMS", "RMS", "RMS"},
    {"AVG", "AVG", "AVG"},
    {"PEAK", "PEAK", "PEAK"},
    {"WATT", "WATT", "WATT"},
}};

template <auto Member>
int GetChoice(const Settings& s) {
  if constexpr (std::is_same_v<std::remove_cvref_t<decltype(s.*Member)>, bool>) {
    return s.*Member ? 1 : 0;
  } else {
    return static_cast<int>(s.*Member);
  }
}

template <auto Member>
void SetChoice(Settings& s, int choice) {
  using Type = std::remove_cvref_t<decltype(s.*Member)>;
  if constexpr (std::is_same_v<Type, bool>) {
    s.*Member = choice != 0;
  } else {
    s.*Member = static_cast<Type>(choice);
  }
}

template <auto Member>
constexpr ChoiceSettingInfo Choice(std::span<const ChoiceWord> words) {
  return {words, GetChoice<Member>, SetChoice<Member>};
}

// In the order of ChoiceSetting; the words in the order of each enumeration.
constexpr std::array<ChoiceSettingInfo, 6> kChoice{{
    Choice<&Settings::coupling>(kCouplingWords),
    Choice<&Settings::syncOnPhase>(kSyncWords),
    Choice<&Settings::transientSource>(kSourceWords),
    Choice<&Settings::acquireSource>(kSourceWords),
    Choice<&Settings::holdTime>(kHoldWords),
    Choice<&Settings::ammeter>(kAmmeterWords),
}};

constexpr std::array<SwitchSettingInfo, 2> kSwitch{{
    {&Settings::tripOnCurrentLimit},
    {&Settings::continuousAcquire},
}};

}  // namespace

Settings ResetSettings(const ModelInfo& model) {
  Settings settings;
  settings.currentLimit = model.maxCurrentRms;
  settings.currentOffset = model.maxCurrentRms;
  return settings;
}

void SelectVoltageRange(Settings& s, double range) {
  s.voltageRange = range;
  const double span = OffsetSpan(range);
  s.voltage = std::min(s.voltage, range);
  s.triggeredVoltage = std::min(s.triggeredVoltage, range);
  s.voltageOffset = std::clamp(s.voltageOffset, -span, span);
  s.triggeredVoltageOffset = std::clamp(s.triggeredVoltageOffset, -span, span);
}

const NumericSettingInfo& Describe(NumericSetting setting) { return kNumeric.at(static_cast<std::size_t>(setting)); }
const ChoiceSettingInfo& Describe(ChoiceSetting setting) { return kChoice.at(static_cast<std::size_t>(setting)); }
const SwitchSettingInfo& Describe(SwitchSetting setting) { return kSwitch.at(static_cast<std::size_t>(setting)); }

}  // namespace zta_sim
