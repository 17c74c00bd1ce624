#pragma once

#include <string_view>

namespace hvzelta {

// One out-pointer of a member, as the method frame checks it: a null pointer
// fails the call naming the parameter; a pure out value is then set to its
// empty value, an in/out value keeps what the caller passed.
class OutParam {
 public:
  enum class Kind { Out, InOut };

  template <class T>
  OutParam(std::string_view name, T* pointer, Kind kind = Kind::Out)
      : name_(name), pointer_(pointer), zero_(kind == Kind::Out ? &ZeroValue<T> : nullptr) {}

  std::string_view Name() const { return name_; }
  bool IsNull() const { return pointer_ == nullptr; }
  void Zero() const {
    if (zero_) zero_(pointer_);
  }

 private:
  template <class T>
  static void ZeroValue(void* pointer) {
    *static_cast<T*>(pointer) = T{};
  }

  std::string_view name_;
  void* pointer_;
  void (*zero_)(void*);
};

}  // namespace hvzelta
