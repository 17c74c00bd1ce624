#pragma once

#include <string>
#include <string_view>

#include "fmtio/enum_formatter.h"
#include "hvzelta/status.h"

namespace hvzelta::testing {

// Two enumerations: coupling (0 AC, 1 DC, 2 "AC DC") and the boolean.
class FakeEnums final : public IEnumFormatter {
 public:
  HRESULT FormatEnum(std::string_view type, std::int32_t value, std::string& word) override {
    if (type == kBooleanEnumName && (value == -1 || value == 0)) return word = value ? "1" : "0", S_OK;
    if (type == "CouplingMode" && value >= 0 && value <= 2) return word = kCoupling[value], S_OK;
    return E_IVI_INVALID_VALUE;
  }
  HRESULT ParseEnum(std::string_view type, std::string_view word, std::int32_t& value) override {
    lastWord = std::string(word);
    if (type == kBooleanEnumName && (word == "1" || word == "0")) return value = word == "1" ? -1 : 0, S_OK;
    if (type != "CouplingMode") return E_IVI_INVALID_VALUE;
    for (std::int32_t i = 0; i < 3; ++i) {
      if (word == kCoupling[i]) return value = i, S_OK;
    }
    return E_IVI_INVALID_VALUE;
  }
  std::int32_t GetMaxEnumLength(std::string_view type) override {
    return type == "CouplingMode" ? 5 : type == kBooleanEnumName ? 1 : 0;
  }
  std::string lastWord;

 private:
  static constexpr const char* kCoupling[] = {"AC", "DC", "AC DC"};
};

}  // namespace hvzelta::testing
