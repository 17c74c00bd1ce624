#include "parameter_decode.h"

#include <array>
#include <cmath>
#include <string_view>

namespace zta_sim {

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool Is(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Upper(text[i]) != upper[i]) return false;
  }
  return true;
}

bool IsWord(std::string_view text, const ChoiceWord& word) { return Is(text, word.shortForm) || Is(text, word.longForm); }

struct UnitSuffix {
  std::string_view name;  // upper case; SCPI reads "M" as milli except in MHZ
  Unit unit;
  double scale;
};

constexpr std::array<UnitSuffix, 10> kSuffixes{{
    {"V", Unit::Volt, 1.0},
    {"MV", Unit::Volt, 1e-3},
    {"KV", Unit::Volt, 1e3},
    {"A", Unit::Ampere, 1.0},
    {"MA", Unit::Ampere, 1e-3},
    {"UA", Unit::Ampere, 1e-6},
    {"HZ", Unit::Hertz, 1.0},
    {"KHZ", Unit::Hertz, 1e3},
    {"MHZ", Unit::Hertz, 1e6},
    {"DEG", Unit::Degree, 1.0},
}};

constexpr std::array<ChoiceWord, 3> kLimitWords{{
    {"MIN", "MINIMUM", "MIN"},
    {"MAX", "MAXIMUM", "MAX"},
    {"DEF", "DEFAULT", "DEF"},
}};

// Numbers are the only kind that a setting of this instrument takes besides
// words; strings and blocks are refused with their own errors.
bool RefuseOtherKinds(Call& call, const Parameter& parameter) {
  if (parameter.kind == ParameterKind::String) {
    call.Error(ScpiError::StringDataNotAllowed);
    return true;
  }
  if (parameter.kind == ParameterKind::Block) {
    call.Error(ScpiError::BlockDataNotAllowed);
    return true;
  }
  return false;
}

std::optional<double> Scaled(Call& call, const Parameter& parameter, Unit unit) {
  if (parameter.suffix.empty()) return parameter.number;
  for (const UnitSuffix& suffix : kSuffixes) {
    if (suffix.unit == unit && Is(parameter.suffix, suffix.name)) return parameter.number * suffix.scale;
  }
  call.Error(ScpiError::InvalidSuffix);
  return std::nullopt;
}

}  // namespace

std::optional<LimitWord> DecodeLimitWord(Call& call, const Parameter& parameter) {
  if (RefuseOtherKinds(call, parameter)) return std::nullopt;
  if (parameter.kind == ParameterKind::Number) {
    call.Error(ScpiError::DataTypeError);
    return std::nullopt;
  }
  for (std::size_t i = 0; i < kLimitWords.size(); ++i) {
    if (IsWord(parameter.text, kLimitWords[i])) return static_cast<LimitWord>(i);
  }
  call.Error(ScpiError::IllegalParameterValue);
  return std::nullopt;
}

double Pick(const Limits& limits, LimitWord word) {
  switch (word) {
    case LimitWord::Min: return limits.min;
    case LimitWord::Max: return limits.max;
    case LimitWord::Default: return limits.reset;
  }
  return limits.reset;
}

std::optional<double> DecodeNumber(Call& call, const Parameter& parameter, const Limits& limits, Unit unit) {
  if (parameter.kind != ParameterKind::Number) {
    const std::optional<LimitWord> word = DecodeLimitWord(call, parameter);
    if (!word) return std::nullopt;
    return Pick(limits, *word);
  }
  const std::optional<double> value = Scaled(call, parameter, unit);
  if (!value) return std::nullopt;
  if (*value < limits.min || *value > limits.max) {
    call.Error(ScpiError::DataOutOfRange);
    return std::nullopt;
  }
  return value;
}

std::optional<bool> DecodeBoolean(Call& call, const Parameter& parameter) {
  if (RefuseOtherKinds(call, parameter)) return std::nullopt;
  if (parameter.kind == ParameterKind::Number) {
    if (!parameter.suffix.empty()) {
      call.Error(ScpiError::InvalidSuffix);
      return std::nullopt;
    }
    return std::fabs(parameter.number) >= 0.5;  // SCPI: whatever rounds to non-zero is ON
  }
  if (Is(parameter.text, "ON")) return true;
  if (Is(parameter.text, "OFF")) return false;
  call.Error(ScpiError::IllegalParameterValue);
  return std::nullopt;
}

std::optional<int> DecodeChoice(Call& call, const Parameter& parameter, std::span<const ChoiceWord> words) {
  if (RefuseOtherKinds(call, parameter)) return std::nullopt;
  if (parameter.kind == ParameterKind::Number) {
    call.Error(ScpiError::DataTypeError);
    return std::nullopt;
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (IsWord(parameter.text, words[i])) return static_cast<int>(i);
  }
  call.Error(ScpiError::IllegalParameterValue);
  return std::nullopt;
}

std::optional<long long> DecodeInteger(Call& call, const Parameter& parameter, long long min, long long max) {
  if (RefuseOtherKinds(call, parameter)) return std::nullopt;
  if (parameter.kind != ParameterKind::Number) {
    call.Error(ScpiError::DataTypeError);
    return std::nullopt;
  }
  if (!parameter.suffix.empty()) {
    call.Error(ScpiError::InvalidSuffix);
    return std::nullopt;
  }
  const double rounded = std::nearbyint(parameter.number);
  if (!(rounded >= static_cast<double>(min) && rounded <= static_cast<double>(max))) {
    call.Error(ScpiError::DataOutOfRange);
    return std::nullopt;
  }
  return static_cast<long long>(rounded);
}

}  // namespace zta_sim
