#pragma once

// Turns program data into setting values the SCPI way: numbers with an
// optional unit (V, mV, A, mA, Hz, kHz, deg, ...), MINimum/MAXimum/DEFault,
// ON/OFF booleans and words of a fixed choice. Each decoder raises the
// standard error and returns nothing when the parameter does not fit.

#include <optional>
#include <span>

#include "command_call.h"
#include "instrument_settings.h"

namespace zta_sim {

enum class LimitWord { Min, Max, Default };

// A value within the limits, or the limit a MIN/MAX/DEF word names.
std::optional<double> DecodeNumber(Call& call, const Parameter& parameter, const Limits& limits, Unit unit);

// The MIN/MAX/DEF word of a query such as "VOLT? MAX".
std::optional<LimitWord> DecodeLimitWord(Call& call, const Parameter& parameter);

double Pick(const Limits& limits, LimitWord word);

std::optional<bool> DecodeBoolean(Call& call, const Parameter& parameter);

// The index of the word within `words`.
std::optional<int> DecodeChoice(Call& call, const Parameter& parameter, std::span<const ChoiceWord> words);

// A whole number (decimal numbers are rounded) within [min, max].
std::optional<long long> DecodeInteger(Call& call, const Parameter& parameter, long long min, long long max);

}  // namespace zta_sim
