#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hvzelta/com/types.h"

namespace hvzelta {

// The hook through which enumeration directives reach the command words of
// the driver's enumerations for the current instrument model. The driver root
// implements it; failures are reported through the driver's error reporter
// and come back as the status to return.
class IEnumFormatter {
 public:
  // The command word of `value`; "VARIANT_BOOL" values arrive as -1 or 0.
  virtual HRESULT FormatEnum(std::string_view typeName, std::int32_t value, std::string& word) = 0;
  virtual HRESULT ParseEnum(std::string_view typeName, std::string_view word, std::int32_t& value) = 0;
  // The length of the longest command word; 0 when the type is unknown.
  virtual std::int32_t GetMaxEnumLength(std::string_view typeName) = 0;

 protected:
  ~IEnumFormatter() = default;
};

// The type name whose values are 16-bit booleans rather than 32-bit integers.
constexpr std::string_view kBooleanEnumName = "VARIANT_BOOL";

}  // namespace hvzelta
