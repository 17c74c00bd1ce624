// Output settings: levels, limits, range, coupling, protection and the
// settings that take a word or ON/OFF.

#include "command_handlers.h"
#include "parameter_decode.h"

namespace zta_sim::handlers {

namespace {

// Any level up to 310 V is accepted; the smallest range that holds it wins.
constexpr Limits kRangeRequest{0.0, kHighRange, kLowRange};
constexpr Limits kRanges{kLowRange, kHighRange, kLowRange};

// Answers a query that has no parameter with `value`, and one with MIN, MAX
// or DEF with that limit.
void ReplyValueOrLimit(Call& call, double value, const Limits& limits) {
  if (!call.ExpectBetween(0, 1)) return;
  if (call.Count() == 0) return call.ReplyReal(value);
  if (const auto word = DecodeLimitWord(call, call[0])) call.ReplyReal(Pick(limits, *word));
}

}  // namespace

void SetNumber(Call& call) {
  const NumericSettingInfo& info = Describe(call.Argument<NumericSetting>());
  Settings& s = call.core.settings;
  if (!call.Expect(1)) return;
  const auto value = DecodeNumber(call, call[0], info.limits(call.core.model(), s), info.unit);
  if (!value) return;
  s.*info.value = *value;
  if (info.follower == nullptr) {
    s.programmedTriggered |= info.triggeredBit;
  } else if ((s.programmedTriggered & info.triggeredBit) == 0) {
    s.*info.follower = *value;
  }
}

void QueryNumber(Call& call) {
  const NumericSettingInfo& info = Describe(call.Argument<NumericSetting>());
  const Settings& s = call.core.settings;
  ReplyValueOrLimit(call, s.*info.value, info.limits(call.core.model(), s));
}

void SetRange(Call& call) {
  if (!call.Expect(1)) return;
  if (const auto volts = DecodeNumber(call, call[0], kRangeRequest, Unit::Volt)) {
    SelectVoltageRange(call.core.settings, *volts <= kLowRange ? kLowRange : kHighRange);
  }
}

void QueryRange(Call& call) { ReplyValueOrLimit(call, call.core.settings.voltageRange, kRanges); }

void SetChoice(Call& call) {
  const ChoiceSettingInfo& info = Describe(call.Argument<ChoiceSetting>());
  if (!call.Expect(1)) return;
  if (const auto choice = DecodeChoice(call, call[0], info.words)) info.set(call.core.settings, *choice);
}

void QueryChoice(Call& call) {
  const ChoiceSettingInfo& info = Describe(call.Argument<ChoiceSetting>());
  if (call.Expect(0)) call.ReplyText(info.words[static_cast<std::size_t>(info.get(call.core.settings))].reply);
}

void SetSwitch(Call& call) {
  const SwitchSettingInfo& info = Describe(call.Argument<SwitchSetting>());
  if (!call.Expect(1)) return;
  if (const auto on = DecodeBoolean(call, call[0])) call.core.settings.*info.value = *on;
}

void QuerySwitch(Call& call) {
  const SwitchSettingInfo& info = Describe(call.Argument<SwitchSetting>());
  if (call.Expect(0)) call.ReplyInteger(call.core.settings.*info.value ? 1 : 0);
}

void SetOutput(Call& call) {
  if (!call.Expect(1)) return;
  const auto on = DecodeBoolean(call, call[0]);
  if (!on) return;
  // A tripped output stays off until its protection is cleared.
  if (*on && call.core.tripped()) return call.Error(ScpiError::SettingsConflict);
  call.core.settings.output = *on;
}

void QueryOutput(Call& call) {
  if (call.Expect(0)) call.ReplyInteger(call.core.settings.output ? 1 : 0);
}

void ClearProtection(Call& call) {
  if (call.Expect(0)) call.core.ClearProtection();
}

}  // namespace zta_sim::handlers
