#pragma once

// The argument list of the formatted I/O engines. Front ends pack their
// arguments into an array of tagged slots (a value or a pointer, what it
// points to and, when the compiler knows it, how many elements are there);
// the engines take slots in directive order and refuse a slot whose tag does
// not fit the directive, so a wrong or missing argument is a status, never
// undefined behaviour. One cursor runs over the write and the read of a
// query, so the read continues where the write stopped.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "hvzelta/com/bstr.h"
#include "hvzelta/com/safearray.h"

namespace hvzelta {

enum class ArgKind : std::uint8_t {
  Null,          // nullptr
  Integer,       // any integer, enumeration or bool value
  Real,          // float or double value
  Elements,      // read-only elements: a C string, an array to write
  Destination,   // writable elements: where a read stores
  ArrayObject,   // const SAFEARRAY*
  ArrayOut,      // SAFEARRAY**: receives a new array object
};

// What a pointer argument points to.
enum class ElementType : std::uint8_t {
  None,
  Int8,          // characters and bytes: a C string, a byte block, a character buffer
  Int16,
  Int32,
  Int64,
  Float,
  Double,
  WideChar,      // a wide string or BSTR
  Text,          // C strings: an array of const char*
  WideText,      // wide strings: an array of BSTRs, or where a BSTR is stored
  StringObject,  // std::string
};

constexpr std::size_t kUnknownExtent = std::numeric_limits<std::size_t>::max();

struct FormatArg {
  ArgKind kind = ArgKind::Null;
  ElementType element = ElementType::None;
  // Elements behind the pointer when known (arrays, spans, string views).
  std::size_t extent = kUnknownExtent;
  union {
    std::int64_t integer;
    double real;
    const void* elements;
    void* destination;
  };
  FormatArg() : integer(0) {}
};

// The slots of one call and how many of them directives have taken.
class FormatArgs {
 public:
  explicit FormatArgs(std::span<const FormatArg> args) : args_(args) {}
  // The next slot, or null when the list is exhausted.
  const FormatArg* Next() { return used_ < args_.size() ? &args_[used_++] : nullptr; }
  std::size_t Used() const { return used_; }

 private:
  std::span<const FormatArg> args_;
  std::size_t used_ = 0;
};

namespace detail {

template <class T>
constexpr ElementType ElementTypeOf() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_same_v<U, float>) return ElementType::Float;
  else if constexpr (std::is_same_v<U, double>) return ElementType::Double;
  else if constexpr (std::is_same_v<U, wchar_t>) return ElementType::WideChar;
  else if constexpr (std::is_same_v<U, std::string>) return ElementType::StringObject;
  else if constexpr (std::is_same_v<U, char*> || std::is_same_v<U, const char*>) return ElementType::Text;
  else if constexpr (std::is_same_v<U, wchar_t*> || std::is_same_v<U, const wchar_t*>) return ElementType::WideText;
  else if constexpr (std::is_integral_v<U> || std::is_enum_v<U>) {
    if constexpr (sizeof(U) == 1) return ElementType::Int8;
    else if constexpr (sizeof(U) == 2) return ElementType::Int16;
    else if constexpr (sizeof(U) == 4) return ElementType::Int32;
    else return ElementType::Int64;
  } else {
    return ElementType::None;
  }
}

template <class T>
FormatArg ElementsArg(const T* pointer, std::size_t extent) {
  FormatArg arg;
  arg.kind = pointer ? ArgKind::Elements : ArgKind::Null;
  arg.element = ElementTypeOf<T>();
  arg.extent = extent;
  arg.elements = pointer;
  return arg;
}

template <class T>
FormatArg DestinationArg(T* pointer, std::size_t extent) {
  FormatArg arg;
  arg.kind = pointer ? ArgKind::Destination : ArgKind::Null;
  arg.element = ElementTypeOf<T>();
  arg.extent = extent;
  arg.destination = pointer;
  return arg;
}

template <class T>
struct IsSpan : std::false_type {};
template <class T, std::size_t N>
struct IsSpan<std::span<T, N>> : std::true_type {};

}  // namespace detail

// Packs one argument. Values are copied; pointers keep what they point to,
// and arrays and spans also their length.
template <class Arg>
FormatArg MakeFormatArg(Arg&& value) {
  // Forwarded so that a string literal (const char[N]) stays apart from a
  // character buffer to read into (char[N]).
  using T = std::remove_cvref_t<Arg>;
  using Bare = std::remove_reference_t<Arg>;
  FormatArg arg;
  if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    arg.kind = ArgKind::Integer;
    if constexpr (std::is_enum_v<T>) {
      arg.integer = static_cast<std::int64_t>(static_cast<std::underlying_type_t<T>>(value));
    } else {
      arg.integer = static_cast<std::int64_t>(value);
    }
  } else if constexpr (std::is_floating_point_v<T>) {
    arg.kind = ArgKind::Real;
    arg.real = static_cast<double>(value);
  } else if constexpr (detail::IsSpan<T>::value) {
    using Item = typename T::element_type;
    if constexpr (std::is_const_v<Item>) return detail::ElementsArg(value.data(), value.size());
    else return detail::DestinationArg(value.data(), value.size());
  } else if constexpr (std::is_null_pointer_v<T>) {
    arg.kind = ArgKind::Null;
  } else if constexpr (std::is_same_v<T, std::string>) {
    return detail::ElementsArg(&value, 1);
  } else if constexpr (std::is_same_v<T, std::string_view> || std::is_same_v<T, std::wstring_view>) {
    // Empty views may have no storage; the engines want a pointer.
    using Char = typename T::value_type;
    static constexpr Char kEmpty[1] = {};
    return detail::ElementsArg(value.empty() ? kEmpty : value.data(), value.size());
  } else if constexpr (std::is_same_v<T, SAFEARRAY*> || std::is_same_v<T, const SAFEARRAY*>) {
    arg.kind = value ? ArgKind::ArrayObject : ArgKind::Null;
    arg.elements = value;
  } else if constexpr (std::is_same_v<T, SAFEARRAY**>) {
    arg.kind = value ? ArgKind::ArrayOut : ArgKind::Null;
    arg.destination = value;
  } else if constexpr (std::is_array_v<Bare>) {
    using Item = std::remove_extent_t<Bare>;
    if constexpr (std::is_const_v<Item>) {
      return detail::ElementsArg(static_cast<const Item*>(value), std::extent_v<Bare>);
    } else {
      return detail::DestinationArg(static_cast<Item*>(value), std::extent_v<Bare>);
    }
  } else if constexpr (std::is_pointer_v<T>) {
    using Item = std::remove_pointer_t<T>;
    static_assert(detail::ElementTypeOf<Item>() != ElementType::None, "no directive takes this pointer type");
    // A plain pointer to write through stands for one element: a count in the
    // format (which may come from outside) must never carry a read past it.
    // Buffers of several elements go as arrays or spans, which keep their size.
    if constexpr (std::is_const_v<Item>) return detail::ElementsArg(value, kUnknownExtent);
    else return detail::DestinationArg(value, 1);
  } else {
    static_assert(sizeof(T) == 0, "no directive takes this argument type");
  }
  return arg;
}

template <class... Args>
std::array<FormatArg, sizeof...(Args)> PackFormatArgs(Args&&... args) {
  return {MakeFormatArg(std::forward<Args>(args))...};
}

}  // namespace hvzelta
