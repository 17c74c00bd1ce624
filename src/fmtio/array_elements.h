#pragma once

// How array objects and pointer arguments line up: the element type of each
// array-object type, and the element of each binary size letter.

#include <cstddef>
#include <cstdint>

#include "fmtio/format_args.h"
#include "hvzelta/com/safearray.h"

namespace hvzelta {

constexpr ElementType ElementTypeOfVartype(VARTYPE vt) {
  switch (vt) {
    case VT_UI1: return ElementType::Int8;
    case VT_I2:
    case VT_BOOL: return ElementType::Int16;
    case VT_I4: return ElementType::Int32;
    case VT_I8: return ElementType::Int64;
    case VT_R4: return ElementType::Float;
    case VT_R8: return ElementType::Double;
    case VT_BSTR: return ElementType::WideText;
    default: return ElementType::None;
  }
}

constexpr VARTYPE VartypeOf(ElementType type) {
  switch (type) {
    case ElementType::Int8: return VT_UI1;
    case ElementType::Int16: return VT_I2;
    case ElementType::Int32: return VT_I4;
    case ElementType::Int64: return VT_I8;
    case ElementType::Float: return VT_R4;
    case ElementType::Double: return VT_R8;
    case ElementType::WideText: return VT_BSTR;
    default: return VT_EMPTY;
  }
}

// The element of a binary block or raw-element directive: none 1 byte, "h"
// 2, "l" 4, "I" 8, "z" a float, "Z" a double.
constexpr ElementType BinaryElement(char size) {
  switch (size) {
    case 'h': return ElementType::Int16;
    case 'l': return ElementType::Int32;
    case 'I': return ElementType::Int64;
    case 'z': return ElementType::Float;
    case 'Z': return ElementType::Double;
    default: return ElementType::Int8;
  }
}

// The element of an integer directive's size letter: "b" 8, "h" 16, "I" 64,
// otherwise 32 bits.
constexpr ElementType IntegerElement(char size) {
  switch (size) {
    case 'b': return ElementType::Int8;
    case 'h': return ElementType::Int16;
    case 'I': return ElementType::Int64;
    default: return ElementType::Int32;
  }
}

constexpr std::size_t ElementSize(ElementType type) {
  switch (type) {
    case ElementType::Int8: return 1;
    case ElementType::Int16: return 2;
    case ElementType::Int32:
    case ElementType::Float: return 4;
    case ElementType::Int64:
    case ElementType::Double: return 8;
    default: return 0;
  }
}

// Reverses the bytes of each `size`-byte element in place.
inline void SwapElementBytes(std::uint8_t* data, std::size_t count, std::size_t size) {
  if (size < 2) return;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* element = data + i * size;
    for (std::size_t a = 0, b = size - 1; a < b; ++a, --b) {
      const std::uint8_t t = element[a];
      element[a] = element[b];
      element[b] = t;
    }
  }
}

}  // namespace hvzelta
