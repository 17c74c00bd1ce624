#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "hvzelta/com/types.h"

namespace hvzelta {

// One simulated value of an object: valid once a setter stored it, until the
// next invalidation.
class CCacheEntry {
 public:
  virtual ~CCacheEntry() = default;
  virtual void Invalidate() = 0;
  void SetValid() { valid_ = true; }
  bool IsValid() const { return valid_; }

 protected:
  bool valid_ = false;
};

template <class T>
class CTypedCacheEntry final : public CCacheEntry {
 public:
  void Invalidate() override {
    valid_ = false;
    value_ = T{};
  }
  void Store(T value) {
    value_ = std::move(value);
    SetValid();
  }
  // The stored value, or the empty value while invalid.
  T Load() const { return valid_ ? value_ : T{}; }

 private:
  T value_{};
};

// The simulated values of one object, keyed by the member's context name
// ("IHalvornZeltaOutput.VoltageLevel"). Entries are made on first use.
class AttributeStore {
 public:
  template <class T>
  CTypedCacheEntry<T>& Entry(std::string_view key) {
    auto it = entries_.find(key);
    if (it == entries_.end()) {
      it = entries_.emplace(std::string(key), std::make_unique<CTypedCacheEntry<T>>()).first;
    }
    // A key always holds one type: the member rows fix it.
    return static_cast<CTypedCacheEntry<T>&>(*it->second);
  }
  void InvalidateAll() {
    for (auto& [key, entry] : entries_) entry->Invalidate();
  }

 private:
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
  };
  std::unordered_map<std::string, std::unique_ptr<CCacheEntry>, KeyHash, std::equal_to<>> entries_;
};

}  // namespace hvzelta
