#include "fmtio/format_cache.h"

#include <array>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "fmtio/directive_scanner.h"

namespace hvzelta {

namespace {

// Bounds that keep formats built at run time (a command with a value written
// into it, say) from growing the tables without limit: longer formats are
// cut each time, and the shared table starts over when it holds too many
// tokens (a few megabytes).
constexpr std::size_t kMaxCachedLength = 256;
constexpr std::size_t kMaxSharedTokens = 16384;
constexpr std::size_t kThreadSlots = 64;

struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

class SharedTable {
 public:
  std::shared_ptr<const CutFormat> Find(std::string_view format) const {
    std::shared_lock lock(mutex_);
    const auto it = entries_.find(format);
    return it == entries_.end() ? nullptr : it->second;
  }
  void Add(std::string_view format, std::shared_ptr<const CutFormat> cut) {
    std::unique_lock lock(mutex_);
    // Holders keep their cut forms alive, so starting over is always safe.
    const std::size_t tokens = cut->tokens.size();
    if (tokens_ + tokens > kMaxSharedTokens) entries_.clear(), tokens_ = 0;
    if (entries_.try_emplace(std::string(format), std::move(cut)).second) tokens_ += tokens;
  }

 private:
  mutable std::shared_mutex mutex_;
  std::size_t tokens_ = 0;
  std::unordered_map<std::string, std::shared_ptr<const CutFormat>, StringHash, std::equal_to<>> entries_;
};

SharedTable& TableFor(Direction direction) {
  static SharedTable tables[2];
  return tables[static_cast<int>(direction)];
}

struct ThreadSlot {
  std::size_t hash = 0;
  std::string format;
  std::shared_ptr<const CutFormat> cut;
};

// The same cut form under a reference count of the thread's own: the
// shared form's count is then written once when the slot fills instead of
// on every command, and threads do not take turns with its cache line.
std::shared_ptr<const CutFormat> ThreadOwned(std::shared_ptr<const CutFormat> shared) {
  auto holder = std::make_shared<const std::shared_ptr<const CutFormat>>(std::move(shared));
  const CutFormat* cut = holder->get();
  return std::shared_ptr<const CutFormat>(std::move(holder), cut);
}

std::shared_ptr<const CutFormat> CutNow(Direction direction, std::string_view format) {
  auto cut = std::make_shared<CutFormat>();
  if (!CutFormatString(direction, format, *cut)) return nullptr;
  return cut;
}

}  // namespace

std::shared_ptr<const CutFormat> CachedCut(Direction direction, std::string_view format) {
  if (format.size() > kMaxCachedLength) return CutNow(direction, format);
  thread_local std::array<std::array<ThreadSlot, kThreadSlots>, 2> slots;
  const std::size_t hash = StringHash{}(format);
  ThreadSlot& slot = slots[static_cast<int>(direction)][hash % kThreadSlots];
  if (slot.cut && slot.hash == hash && slot.format == format) return slot.cut;

  SharedTable& table = TableFor(direction);
  std::shared_ptr<const CutFormat> cut = table.Find(format);
  if (!cut) {
    cut = CutNow(direction, format);
    if (!cut) return nullptr;
    table.Add(format, cut);
  }
  slot.hash = hash;
  slot.format.assign(format);
  slot.cut = ThreadOwned(std::move(cut));
  return slot.cut;
}

}  // namespace hvzelta
