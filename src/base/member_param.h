#pragma once

#include <string_view>

#include "base/trace_value.h"

namespace hvzelta {

enum class ParamDirection : std::uint8_t { In, Out, InOut };

// One parameter of a member as the method frame sees it. Out and in/out
// pointers are checked first: a null one fails the call naming the
// parameter; a pure out value is then set to its empty value, an in/out value
// keeps what the caller passed. Every parameter is traced under its name.
class MemberParam {
 public:
  template <class T>
  static MemberParam In(std::string_view name, const T& value) {
    return MemberParam(name, ParamDirection::In, &value, TraceTypeOf<T>(), nullptr);
  }
  template <class T>
  static MemberParam Out(std::string_view name, T* pointer) {
    return MemberParam(name, ParamDirection::Out, pointer, TraceTypeOf<T>(), &ZeroValue<T>);
  }
  template <class T>
  static MemberParam InOut(std::string_view name, T* pointer) {
    return MemberParam(name, ParamDirection::InOut, pointer, TraceTypeOf<T>(), nullptr);
  }

  std::string_view Name() const { return name_; }
  ParamDirection Direction() const { return direction_; }
  TraceType Type() const { return type_; }
  const void* Value() const { return value_; }
  bool IsMissingPointer() const { return direction_ != ParamDirection::In && value_ == nullptr; }
  void Zero() const {
    if (zero_) zero_(const_cast<void*>(value_));
  }

 private:
  MemberParam(std::string_view name, ParamDirection direction, const void* value, TraceType type,
              void (*zero)(void*))
      : name_(name), direction_(direction), type_(type), value_(value), zero_(zero) {}

  template <class T>
  static void ZeroValue(void* pointer) {
    *static_cast<T*>(pointer) = T{};
  }

  std::string_view name_;
  ParamDirection direction_;
  TraceType type_;
  const void* value_;
  void (*zero_)(void*);
};

template <class T>
MemberParam In(std::string_view name, const T& value) {
  return MemberParam::In(name, value);
}
template <class T>
MemberParam Out(std::string_view name, T* pointer) {
  return MemberParam::Out(name, pointer);
}
template <class T>
MemberParam InOut(std::string_view name, T* pointer) {
  return MemberParam::InOut(name, pointer);
}

}  // namespace hvzelta
