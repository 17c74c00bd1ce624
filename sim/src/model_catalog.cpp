#include "model_catalog.h"

#include <array>

namespace zta_sim {

namespace {

constexpr std::array<ModelInfo, 4> kModels{{
    {Model::ZTA100, "ZTA100", 500.0, 4.0, 16.0},
    {Model::ZTA200, "ZTA200", 1000.0, 8.0, 32.0},
    {Model::ZTA300, "ZTA300", 2000.0, 16.0, 64.0},
    {Model::ZTA400, "ZTA400", 4000.0, 32.0, 128.0},
}};

constexpr std::string_view kFirmware = "2.04";

}  // namespace

const ModelInfo& Describe(Model model) {
  for (const ModelInfo& info : kModels) {
    if (info.model == model) return info;
  }
  return kModels.front();
}

const ModelInfo* FindModel(std::string_view name) {
  for (const ModelInfo& info : kModels) {
    if (info.name == name) return &info;
  }
  return nullptr;
}

std::string DefaultIdentity(const ModelInfo& model) {
  // Serial numbers carry the model's digits: HZ1000417 for a ZTA100.
  std::string identity = "Halvorn,";
  identity += model.name;
  identity += ",HZ";
  identity += model.name.substr(3);
  identity += "0417,";
  identity += kFirmware;
  return identity;
}

}  // namespace zta_sim
