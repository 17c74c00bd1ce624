#pragma once

// The directives behind the typed conveniences of the I/O session, one row
// per element type. A list directive is put together from a row and the
// caller's separator ("%" precision separator "*" conversion on write,
// "%" separator "#" conversion on read), so that the engines, not the
// conveniences, do every conversion.

#include <cstdint>
#include <string>
#include <string_view>

namespace hvzelta {

struct TypedDirectives {
  std::string_view write;          // one value
  std::string_view read;           // one value
  std::string_view listPrecision;  // before the separator of a list write
  std::string_view listWrite;      // size and conversion of a list write
  std::string_view listRead;       // size and conversion of a list read
  std::string_view blockWrite;     // a definite-length block of a counted array
  std::string_view blockRead;      // the same into a bounded destination
};

template <class T>
struct TypedDirectivesOf;  // no row: the type has no typed convenience

template <>
struct TypedDirectivesOf<std::uint8_t> {
  static constexpr TypedDirectives kRow{"%bu", "%bu", "", "bu", "bu", "%*b", "%#b"};
};
template <>
struct TypedDirectivesOf<std::int16_t> {
  static constexpr TypedDirectives kRow{"%hd", "%hd", "", "hd", "hd", "%*hb", "%#hb"};
};
template <>
struct TypedDirectivesOf<std::int32_t> {
  static constexpr TypedDirectives kRow{"%d", "%d", "", "d", "d", "%*lb", "%#lb"};
};
template <>
struct TypedDirectivesOf<std::int64_t> {
  static constexpr TypedDirectives kRow{"%Id", "%Id", "", "Id", "Id", "%*Ib", "%#Ib"};
};
// Reals go out with the digits a float or a double holds and come back
// through the same conversion.
template <>
struct TypedDirectivesOf<float> {
  static constexpr TypedDirectives kRow{"%0.7g", "%f", ".7", "g", "f", "%*zb", "%#zb"};
};
template <>
struct TypedDirectivesOf<double> {
  static constexpr TypedDirectives kRow{"%0.15lg", "%lf", ".15", "lg", "lf", "%*Zb", "%#Zb"};
};

template <class T>
concept TypedElement = requires { TypedDirectivesOf<T>::kRow; };

enum class ListDirection { Write, Read };

// The list directive of `row` with `separator`; false when the separator
// cannot be expressed.
bool BuildListDirective(const TypedDirectives& row, ListDirection direction, char separator, std::string& directive);

}  // namespace hvzelta
