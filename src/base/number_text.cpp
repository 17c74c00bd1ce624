#include "base/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace hvzelta {

namespace {

// Sign, then (zero padding,) then digits, justified in the field as C does.
void AppendField(std::string& out, std::string_view sign, std::string_view digits, const NumberLayout& layout,
                 bool zeroPadAllowed) {
  const std::size_t length = sign.size() + digits.size();
  const std::size_t width = layout.width > 0 ? static_cast<std::size_t>(layout.width) : 0;
  const std::size_t pad = width > length ? width - length : 0;
  if (layout.minus) {
    out.append(sign).append(digits).append(pad, ' ');
  } else if (layout.zero && zeroPadAllowed) {
    out.append(sign).append(pad, '0').append(digits);
  } else {
    out.append(pad, ' ').append(sign).append(digits);
  }
}

std::string_view SignOf(bool negative, const NumberLayout& layout) {
  if (negative) return "-";
  if (layout.plus) return "+";
  if (layout.space) return " ";
  return {};
}

// Digits of a precision beyond the standard conversions' buffer, from the C
// library; the caller adds sign and field.
std::string LongDigits(char conversion, double value, int precision) {
  const double magnitude = std::fabs(value);
  auto print = [&](char* out, std::size_t size) {
    switch (conversion) {
      case 'f': return std::snprintf(out, size, "%.*f", precision, magnitude);
      case 'e': return std::snprintf(out, size, "%.*e", precision, magnitude);
      case 'E': return std::snprintf(out, size, "%.*E", precision, magnitude);
      case 'G': return std::snprintf(out, size, "%.*G", precision, magnitude);
      default: return std::snprintf(out, size, "%.*g", precision, magnitude);
    }
  };
  const int needed = print(nullptr, 0);
  if (needed <= 0) return {};
  std::string digits(static_cast<std::size_t>(needed) + 1, '\0');
  print(digits.data(), digits.size());
  digits.resize(static_cast<std::size_t>(needed));
  return digits;
}

}  // namespace

void AppendInteger(std::string& out, char conversion, std::int64_t value, std::uint64_t bits,
                   const NumberLayout& layout) {
  const bool isSigned = conversion == 'd' || conversion == 'i';
  const bool negative = isSigned && value < 0;
  std::uint64_t magnitude = bits;
  if (isSigned) magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  int base = 10;
  if (conversion == 'o') base = 8;
  if (conversion == 'x' || conversion == 'X') base = 16;
  if (conversion == 'b') base = 2;

  char digits[72];
  char* end = digits;
  // C writes no digit for a zero value with precision 0.
  if (!(magnitude == 0 && layout.precision == 0)) {
    end = std::to_chars(digits, digits + sizeof digits, magnitude, base).ptr;
  }
  if (conversion == 'X') {
    for (char* c = digits; c < end; ++c) {
      if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
    }
  }
  std::string_view text(digits, static_cast<std::size_t>(end - digits));
  std::string widened;
  const auto minimum = static_cast<std::size_t>(layout.precision > 0 ? layout.precision : 0);
  if (minimum > text.size()) {
    widened.assign(minimum - text.size(), '0');
    widened.append(text);
    text = widened;
  }
  // With a precision C pads with blanks, never zeros.
  AppendField(out, isSigned ? SignOf(negative, layout) : std::string_view{}, text, layout, layout.precision < 0);
}

namespace {

// %g of `value` from its shortest round-trip digits, when they are no more
// than `precision`: for a normal double and at most 15 digits the rounding
// grid is coarser than the double's own spacing, so rounding to the precision
// gives those same digits; and the shortest conversion is several times
// faster than a rounding one.
// Writes into `text` and returns its end, or null when the digits are more.
char* ShortestGeneral(char* text, double value, int precision, bool upper) {
  char shortest[40];
  const char* end = std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific).ptr;
  const char* c = shortest;
  char* out = text;
  if (*c == '-') *out++ = *c++;
  char digits[20];
  int count = 0;
  for (; c < end && *c != 'e'; ++c) {
    if (*c != '.') digits[count++] = *c;
  }
  if (count > precision || c == end) return nullptr;
  int exponent = 0;
  std::from_chars(c + (c[1] == '+' ? 2 : 1), end, exponent);
  if (exponent < -4 || exponent >= precision) {
    *out++ = digits[0];
    if (count > 1) {
      *out++ = '.';
      out = std::copy(digits + 1, digits + count, out);
    }
    *out++ = upper ? 'E' : 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) *out++ = '0';
    return std::to_chars(out, out + 4, magnitude).ptr;
  }
  if (exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    out = std::fill_n(out, -exponent - 1, '0');
    return std::copy(digits, digits + count, out);
  }
  const int whole = exponent + 1;
  for (int i = 0; i < whole; ++i) *out++ = i < count ? digits[i] : '0';
  if (count > whole) {
    *out++ = '.';
    out = std::copy(digits + whole, digits + count, out);
  }
  return out;
}

// %g of a value that is a short decimal (at most six places, below 10^15 and
// not below 10^-4), as settings usually are: the decimal reads back as the
// value, so it is the shortest form, and %g writes it in fixed notation
// without trailing zeros. Cheaper still than the shortest conversion.
char* ShortDecimalGeneral(char* text, double value, int precision) {
  const double magnitude = std::fabs(value);
  if (!(magnitude >= 1e-4 && magnitude < 1e15)) return nullptr;
  double scale = 1;
  for (int places = 0; places <= 6; ++places, scale *= 10) {
    const double scaled = magnitude * scale;
    if (scaled >= 9007199254740992.0) return nullptr;
    const double whole = std::nearbyint(scaled);
    if (whole != scaled || whole / scale != magnitude) continue;
    auto units = static_cast<std::uint64_t>(whole);
    // A scale can find the value with places to spare: %g shows none of them.
    while (places > 0 && units % 10 == 0) units /= 10, --places;
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, units).ptr;
    auto count = static_cast<int>(end - digits);
    // Leading zeros of a value below one do not count as significant.
    int significant = count;
    for (const char* d = digits; d < end && *d == '0'; ++d) --significant;
    if (significant > precision) return nullptr;
    char* out = text;
    if (std::signbit(value)) *out++ = '-';
    if (count <= places) {
      *out++ = '0';
      *out++ = '.';
      out = std::fill_n(out, places - count, '0');
      return std::copy(digits, end, out);
    }
    out = std::copy(digits, digits + (count - places), out);
    if (places > 0) {
      *out++ = '.';
      out = std::copy(digits + (count - places), end, out);
    }
    return out;
  }
  return nullptr;
}

}  // namespace

void AppendReal(std::string& out, char conversion, double value, const NumberLayout& layout) {
  // Fixed notation of the largest doubles needs 309 digits before the point.
  constexpr int kMaxPrecision = 300;
  const int precision = layout.precision < 0 ? 6 : layout.precision;
  const bool upper = conversion == 'E' || conversion == 'G';
  if (!std::isfinite(value)) {
    // C pads infinities and NaNs with blanks even under the "0" flag.
    const std::string_view word = std::isnan(value) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
    AppendField(out, SignOf(std::signbit(value), layout), word, layout, false);
    return;
  }
  if (precision > kMaxPrecision) {
    AppendField(out, SignOf(std::signbit(value), layout), LongDigits(conversion, value, precision), layout, true);
    return;
  }
  std::chars_format format = std::chars_format::general;
  if (conversion == 'f') format = std::chars_format::fixed;
  if (conversion == 'e' || conversion == 'E') format = std::chars_format::scientific;
  char text[720];
  const bool shortestWillDo = format == std::chars_format::general && precision > 0 && precision <= 15 &&
                              (value == 0 || std::isnormal(value));
  char* end = shortestWillDo ? ShortDecimalGeneral(text, value, precision) : nullptr;
  if (shortestWillDo && !end) end = ShortestGeneral(text, value, precision, false);
  if (!end) end = std::to_chars(text, text + sizeof text, value, format, precision).ptr;
  const bool negative = text[0] == '-';
  if (upper) {
    for (char* c = text; c < end; ++c) {
      if (*c == 'e') *c = 'E';
    }
  }
  const std::string_view digits(text + (negative ? 1 : 0), static_cast<std::size_t>(end - text) - (negative ? 1 : 0));
  AppendField(out, SignOf(negative, layout), digits, layout, true);
}

}  // namespace hvzelta
