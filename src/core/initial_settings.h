#pragma once

// The configurable initial settings of a driver session or of the driver's
// software module: typed values by name, read from the configuration store at
// Initialize and looked up by the features that honour them.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "hvzelta/com/types.h"

namespace hvzelta {

class StoreEntry;

class ConfigurableInitialSettings {
 public:
  using Value = std::variant<std::string, std::int32_t, double, bool>;

  void Clear() { values_.clear(); }
  bool Empty() const { return values_.empty(); }
  // Keeps `value` under the trimmed, lower-cased name; a later value replaces an earlier one.
  void Set(std::string_view name, Value value);

  // Reads the data components of `structure` ("String", "Integer", "Real"
  // and "Boolean" by their type, without regard to case; other types are
  // skipped). A value that does not fit its type is the store's failure.
  HRESULT Load(const StoreEntry& structure);

  // Typed lookups by name without regard to case: nothing when the name is
  // absent or its value does not convert. Text gives any value as text;
  // numbers and booleans also convert from text.
  std::optional<std::string> Text(std::string_view name) const;
  std::optional<std::int32_t> Integer(std::string_view name) const;
  std::optional<double> Real(std::string_view name) const;
  std::optional<bool> Boolean(std::string_view name) const;

 private:
  const Value* Find(std::string_view name) const;

  std::map<std::string, Value, std::less<>> values_;
};

}  // namespace hvzelta
