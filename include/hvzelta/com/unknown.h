#pragma once

// Reference counting and interface discovery, the base of every interface of
// the object interface, and a smart pointer that keeps the counts honest.

#include <cstdint>
#include <utility>

#include "hvzelta/com/types.h"

namespace hvzelta {

// {00000000-0000-0000-C000-000000000046}
constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IUnknown {
 public:
  static constexpr IID kIid = IID_IUnknown;
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

// Each interface declares its identifier as a static member `kIid`, so that
// generic code can ask for an interface by type.
template <class Interface>
constexpr const IID& IidOf() {
  return Interface::kIid;
}

template <class Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(Interface* object) : object_(object) {  // NOLINT(google-explicit-constructor)
    if (object_) object_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Takes over a reference the caller already owns.
  static ComPtr Adopt(Interface* object) {
    ComPtr pointer;
    pointer.object_ = object;
    return pointer;
  }

  Interface* Get() const { return object_; }
  Interface* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  Interface** Out() {
    Reset();
    return &object_;
  }
  Interface* Detach() { return std::exchange(object_, nullptr); }
  void Reset() {
    if (Interface* object = std::exchange(object_, nullptr)) object->Release();
  }

  template <class Other>
  HRESULT As(ComPtr<Other>& target) const {
    if (!object_) return E_POINTER;
    return object_->QueryInterface(IidOf<Other>(), reinterpret_cast<void**>(target.Out()));
  }

 private:
  Interface* object_ = nullptr;
};

}  // namespace hvzelta
