#pragma once

// What a traced parameter holds, so that a record can render it as text with
// the name of its data type when the call starts (inputs) or ends (outputs).

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "hvzelta/com/bstr.h"
#include "hvzelta/com/types.h"
#include "hvzelta/com/unknown.h"

namespace hvzelta {

struct SAFEARRAY;

enum class TraceType : std::uint8_t {
  Empty,
  Int8,
  UInt8,
  Boolean,
  Int32,
  UInt32,
  Int64,
  UInt64,
  Double,
  WideString,  // BSTR
  Interface,
  Array,  // SAFEARRAY*
};

template <class T>
constexpr TraceType TraceTypeOf() {
  using U = std::remove_cv_t<T>;
  // The object interface's only 16-bit values are its booleans.
  if constexpr (std::is_same_v<U, VARIANT_BOOL>) return TraceType::Boolean;
  else if constexpr (std::is_same_v<U, double>) return TraceType::Double;
  else if constexpr (std::is_same_v<U, BSTR>) return TraceType::WideString;
  else if constexpr (std::is_same_v<U, SAFEARRAY*>) return TraceType::Array;
  else if constexpr (std::is_pointer_v<U> && std::is_base_of_v<IUnknown, std::remove_pointer_t<U>>) {
    return TraceType::Interface;
  } else if constexpr (std::is_enum_v<U> || std::is_same_v<U, std::int32_t>) return TraceType::Int32;
  else if constexpr (std::is_same_v<U, std::uint32_t>) return TraceType::UInt32;
  else if constexpr (std::is_same_v<U, std::int64_t>) return TraceType::Int64;
  else if constexpr (std::is_same_v<U, std::uint64_t>) return TraceType::UInt64;
  else if constexpr (std::is_same_v<U, std::int8_t>) return TraceType::Int8;
  else if constexpr (std::is_same_v<U, std::uint8_t>) return TraceType::UInt8;
  else static_assert(sizeof(U) == 0, "no trace rendering for this parameter type");
  return TraceType::Empty;
}

// Appends the value at `value` (of `type`) as a record shows it to `text`;
// returns the name of its data type.
std::string_view RenderTraceValue(TraceType type, const void* value, std::string& text);

}  // namespace hvzelta
