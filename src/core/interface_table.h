#pragma once

#include <initializer_list>

#include "hvzelta/com/unknown.h"

namespace hvzelta {

// One interface an object answers for, and the pointer it hands out for it
// (the object itself cast to that interface, or one of its facets).
struct InterfaceEntry {
  const IID& iid;
  void* pointer;
};

// The lookup of QueryInterface: stores the pointer of the row that names
// `iid` (null when none does). The caller takes the reference on success.
inline HRESULT FindInterface(std::initializer_list<InterfaceEntry> table, const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  for (const InterfaceEntry& entry : table) {
    if (entry.iid == iid) {
      *object = entry.pointer;
      return S_OK;
    }
  }
  return E_NOINTERFACE;
}

}  // namespace hvzelta
