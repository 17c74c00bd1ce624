#pragma once

#include <cstdint>

#include "hvzelta/com/unknown.h"

namespace hvzelta {

// One interface of an object, implemented apart from the object's other
// interfaces. Interfaces of one object may share member signatures with
// different meanings (three collections each have get_Count and get_Name, an
// output phase has four get_Enabled), so each gets a facet of its own; the
// facet forwards reference counting and interface discovery to its object,
// which keeps one identity and one lock.
template <class Interface, class Object>
class Facet : public Interface {
 public:
  // `identity` is the object's own IUnknown.
  Facet(Object& object, IUnknown& identity) : object_(object), identity_(identity) {}
  Facet(const Facet&) = delete;
  Facet& operator=(const Facet&) = delete;

  HRESULT QueryInterface(const IID& iid, void** result) override { return identity_.QueryInterface(iid, result); }
  std::uint32_t AddRef() override { return identity_.AddRef(); }
  std::uint32_t Release() override { return identity_.Release(); }

 protected:
  ~Facet() = default;
  Object& Owner() const { return object_; }

 private:
  Object& object_;
  IUnknown& identity_;
};

}  // namespace hvzelta
