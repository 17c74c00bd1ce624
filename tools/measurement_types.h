#pragma once

// The measurement types the tool takes, in the order it shows them, each
// with its unit.

#include <string_view>

#include "hvzelta.h"

namespace hvzelta::cli {

struct Quantity {
  ViInt32 type;
  std::string_view unit;
};

inline constexpr Quantity kQuantities[] = {
    {HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_AC, "V"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_DC, "V"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_AC, "A"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_DC, "A"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_MAX, "A"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_MAX_HOLD, "A"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_CREST_FACTOR, ""},
    {HVZELTA_VAL_MEASUREMENT_TYPE_FREQUENCY, "Hz"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_POWER_AC, "W"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_POWER_DC, "W"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_AC_APPARENT, "VA"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_POWER_AC_REACTIVE, "var"},
    {HVZELTA_VAL_MEASUREMENT_TYPE_AC_POWER_FACTOR, ""},
};

// The header's names of the measurement types start with this.
inline constexpr std::string_view kMeasurementTypePrefix = "MEASUREMENT_TYPE_";

}  // namespace hvzelta::cli
