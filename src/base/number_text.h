#pragma once

// Numbers as C formatting writes them, without going through the C library
// where the standard conversions give the same text.

#include <cstdint>
#include <string>

namespace hvzelta {

struct NumberLayout {
  bool minus = false;  // left-justify
  bool plus = false;
  bool space = false;
  bool zero = false;
  std::int32_t width = -1;      // none when negative
  std::int32_t precision = -1;  // none when negative
};

// Appends an integer written with conversion d, i, o, u, x or X, or 'b' for
// binary digits. Signed conversions show `value`; the others show `bits`.
void AppendInteger(std::string& out, char conversion, std::int64_t value, std::uint64_t bits,
                   const NumberLayout& layout);

// Appends a double written with conversion f, e, E, g or G.
void AppendReal(std::string& out, char conversion, double value, const NumberLayout& layout);

}  // namespace hvzelta
