#pragma once

// The names a store's virtual names and published physical names expand to,
// shared by Initialize and the tool that writes the store, so that the tool
// refuses exactly what Initialize would.

#include <cstddef>
#include <string_view>

#include "core/config_store.h"
#include "core/function_ref.h"

namespace hvzelta {

// What the names of one session's or module's ranges may expand to: far
// beyond any instrument, small enough that a hostile store cannot exhaust
// memory with long names, wide ranges or nesting that refers to itself.
class NameBudget {
 public:
  bool Take(std::size_t textSize) {
    ++names_;
    bytes_ += textSize;
    return names_ <= kMaxNames && bytes_ <= kMaxBytes;
  }

 private:
  static constexpr std::size_t kMaxNames = 65536;
  static constexpr std::size_t kMaxBytes = std::size_t{4} << 20;
  std::size_t names_ = 0;
  std::size_t bytes_ = 0;
};
inline constexpr std::string_view kTooManyNames = "its names expand to more than 65536 names or 4 MiB of text";

// Hands each virtual name of a driver session, trimmed and with its ranges
// expanded, to `add` with the name it stands for. A store failure (a property
// missing or not converting, a backwards range, names beyond the budget)
// ends the walk with the store's status and text.
HRESULT ExpandVirtualNames(const StoreEntry& session, FunctionRef<void(std::string_view, std::string_view)> add);

}  // namespace hvzelta
