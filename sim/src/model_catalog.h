#pragma once

// What differs between the members of the ZTA family: their name, power
// rating and current capability.

#include <string>
#include <string_view>

#include "zta_sim/emulator.h"

namespace zta_sim {

struct ModelInfo {
  Model model;
  std::string_view name;
  double ratedPowerVa;    // apparent power the output delivers continuously
  double maxCurrentRms;   // highest programmable current limit
  double maxCurrentPeak;  // instantaneous current before a peak overload
};

const ModelInfo& Describe(Model model);

// The model named exactly "ZTA100" .. "ZTA400", or nullptr.
const ModelInfo* FindModel(std::string_view name);

// "Halvorn,<model>,<serial>,<firmware>".
std::string DefaultIdentity(const ModelInfo& model);

}  // namespace zta_sim
