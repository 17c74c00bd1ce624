#pragma once

// Edits of the IVI configuration store for "hvzelta config": the document is
// read with the driver's own reader, changed in place (entries of other
// drivers and elements this tool does not know are kept as they are) and
// written back whole under a temporary name that then replaces the file (the
// file a symbolic link leads to, with its owner and permissions).
// Failures carry the store's statuses and texts in the thread's error
// information.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/config_store.h"

namespace hvzelta::cli {

// The six operation settings of a driver session: the store's property, the
// command-line option that sets it and the driver's default.
struct SessionSetting {
  std::string_view property;
  std::string_view option;
  bool defaultValue;
};

inline constexpr std::array<SessionSetting, 6> kSessionSettings{{
    {"Cache", "cache", true},
    {"InterchangeCheck", "interchange-check", false},
    {"QueryInstrStatus", "query-instr-status", false},
    {"RangeCheck", "range-check", true},
    {"RecordCoercions", "record-coercions", false},
    {"Simulate", "simulate", false},
}};

struct NewSession {
  std::string name;
  std::string description;
  std::string resource;     // empty: the session has no hardware asset
  std::string driverSetup;
  std::string model;        // empty: no "Model" initial setting
  std::string logicalName;  // empty: no logical name
  std::array<bool, kSessionSettings.size()> settings{};
};

struct NewVirtualName {
  std::string name;
  std::string mapTo;
  struct Range {
    std::int32_t minimum;
    std::int32_t maximum;
    std::int32_t startingPhysicalIndex;
  };
  std::optional<Range> range;
};

class StoreEditor {
 public:
  // Reads the store at `path`; a missing file starts a new, empty store.
  HRESULT Open(const std::string& path);
  bool IsNew() const { return isNew_; }
  const ConfigStore& Store() const { return store_; }

  // Adds this driver's software module unless the store has it (S_FALSE).
  HRESULT EnsureSoftwareModule();
  // Adds a driver session of this driver, with its hardware asset and logical
  // name. E_IVICONFIG_ALREADY_EXIST when a session, asset or logical name of
  // that name exists, unless `replace` (which first removes the old session).
  HRESULT AddSession(const NewSession& wanted, bool replace);
  // Removes the logical name and the driver session called `name` (with the
  // logical names that lead to the session and its hardware asset when no
  // other session uses it). S_FALSE when there is neither.
  HRESULT Remove(std::string_view name);
  // Adds a virtual name to a driver session; refuses, as the store's error,
  // what Initialize would refuse to read.
  HRESULT AddVirtualName(std::string_view session, const NewVirtualName& wanted);

  // Writes the store back to its file, creating the file's folder if needed.
  HRESULT Save();

 private:
  xmlNode* Collection(std::string_view name);
  std::string NewId(std::string_view kind) const;
  HRESULT RemoveSession(const StoreEntry& session);
  bool AssetInUse(const StoreEntry& asset) const;

  ConfigStore store_;
  bool isNew_ = false;
};

}  // namespace hvzelta::cli
