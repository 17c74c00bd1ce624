#pragma once

// What a C session's channel names selected, kept so that a repeated name
// costs neither parsing nor a collection lookup. The outputs and phases of a
// driver never change once it is initialized, so a selection that resolved
// once resolves to the same objects for the rest of the session. Only
// selections that resolved completely are kept; a failing name is resolved
// afresh every time and reports its error as it did the first time.

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "hvzelta/com/unknown.h"

namespace hvzelta::capi {

class SelectionCache {
 public:
  // Bounds: a program that builds channel names at run time replaces the
  // oldest entries instead of growing the cache, and long names are never
  // kept.
  static constexpr std::size_t kMaxEntries = 16;
  static constexpr std::size_t kMaxTextLength = 128;

  // Appends the objects kept for `text` to `objects` (each as `Object`, with
  // a reference of its own) and returns true; false when nothing is kept.
  template <class Object, class List>
  bool Find(std::string_view text, bool rangesAllowed, List& objects) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = Lookup(IidOf<Object>(), text, rangesAllowed);
    if (!entry) return false;
    for (const auto& object : entry->objects) objects.emplace_back(static_cast<Object*>(object.Get()));
    return true;
  }

  // Keeps `objects` as what `text` selects.
  template <class Object, class List>
  void Keep(std::string_view text, bool rangesAllowed, const List& objects) {
    if (text.size() > kMaxTextLength) return;
    std::vector<ComPtr<IUnknown>> kept;
    kept.reserve(objects.size());
    // Each interface pointer goes in as itself, so Find's cast restores it.
    for (const auto& object : objects) kept.emplace_back(static_cast<IUnknown*>(object.Get()));
    Store(IidOf<Object>(), text, rangesAllowed, std::move(kept));
  }

  // Releases every kept object and keeps nothing from then on, as the
  // session ends.
  void Clear();

 private:
  struct Entry {
    IID kind{};
    bool rangesAllowed = false;
    std::string text;
    std::vector<ComPtr<IUnknown>> objects;
  };

  const Entry* Lookup(const IID& kind, std::string_view text, bool rangesAllowed) const;
  void Store(const IID& kind, std::string_view text, bool rangesAllowed, std::vector<ComPtr<IUnknown>> objects);

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::size_t next_ = 0;  // the entry replaced next once the cache is full
  bool cleared_ = false;
};

}  // namespace hvzelta::capi
