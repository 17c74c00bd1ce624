#include "capi/selection_cache.h"

#include <utility>

namespace hvzelta::capi {

const SelectionCache::Entry* SelectionCache::Lookup(const IID& kind, std::string_view text, bool rangesAllowed) const {
  for (const Entry& entry : entries_) {
    if (entry.kind == kind && entry.rangesAllowed == rangesAllowed && entry.text == text) return &entry;
  }
  return nullptr;
}

void SelectionCache::Store(const IID& kind, std::string_view text, bool rangesAllowed,
                           std::vector<ComPtr<IUnknown>> objects) {
  Entry entry{kind, rangesAllowed, std::string(text), std::move(objects)};
  std::vector<ComPtr<IUnknown>> replaced;  // released outside the lock
  {
    std::lock_guard lock(mutex_);
    // A selection resolved while the session closed is not kept alive by it.
    if (cleared_ || Lookup(kind, text, rangesAllowed)) return;
    if (entries_.size() < kMaxEntries) {
      entries_.push_back(std::move(entry));
      return;
    }
    replaced = std::move(entries_[next_].objects);
    entries_[next_] = std::move(entry);
    next_ = (next_ + 1) % kMaxEntries;
  }
}

void SelectionCache::Clear() {
  std::vector<Entry> entries;
  {
    std::lock_guard lock(mutex_);
    cleared_ = true;
    entries.swap(entries_);
  }
}

}  // namespace hvzelta::capi
