// How Initialize resolves its resource name through the configuration store
// and applies the option string, DriverSetup, the initial settings and the
// virtual names of a session.

#include <array>
#include <vector>

#include "core/config_store.h"
#include "core/driver.h"
#include "core/option_string.h"
#include "core/store_names.h"
#include "hvzelta/com/error_info.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

// Operation settings the option string and a driver session of the store
// may set, in the order the store's settings are read.
struct SettingOption {
  std::string_view name;  // lower case
  std::string_view storeProperty;
  std::atomic<bool> OperationSettings::*setting;
};

constexpr std::array kSettingOptions{
    SettingOption{"cache", "Cache", &OperationSettings::cache},
    SettingOption{"interchangecheck", "InterchangeCheck", &OperationSettings::interchangeCheck},
    SettingOption{"queryinstrstatus", "QueryInstrStatus", &OperationSettings::queryInstrumentStatus},
    SettingOption{"rangecheck", "RangeCheck", &OperationSettings::rangeCheck},
    SettingOption{"recordcoercions", "RecordCoercions", &OperationSettings::recordCoercions},
    SettingOption{"simulate", "Simulate", &OperationSettings::simulate},
};

}  // namespace

HRESULT CDriver::ResolveResourceAndOptions(std::string_view resourceName) {
  // The DriverSetup text and the identity of the last session stay until
  // something replaces them; only where to go and the maps start afresh.
  resourceDescriptor_.clear();
  unreadableStore_.clear();
  logicalName_.clear();
  optionMap_.clear();
  driverSetupMap_.clear();
  virtualToPhysical_.clear();
  physicalToVirtual_.clear();
  initialSettingsMap_.Clear();
  publishedRepCaps_.clear();
  settings_ = OperationSettings{};

  const HRESULT hr = ResolveThroughStore(resourceName);
  // The store's own failure ends Initialize with the store's error information as it stands.
  if (IsConfigStoreStatus(hr)) return hr;

  if (settings_.simulate && instrumentModel_.empty()) instrumentModel_ = std::string(constants_.defaultSimulationModel);
  initialSettings_ = settings_;
  return hr;
}

HRESULT CDriver::ResolveThroughStore(std::string_view resourceName) {
  ConfigStore store;
  const HRESULT opened = store.Open(ConfigStoreLocation());
  if (ErrorInfo info; Failed(opened) && GetErrorInfo(info)) unreadableStore_ = WideToUtf8(info.description);
  if (opened != S_OK) {
    // A file that cannot be read as a store is no store: the resource name
    // is the resource descriptor, and the trace tells why.
    resourceDescriptor_ = std::string(resourceName);
    return ProcessOptionString(optionString_);
  }

  if (StoreEntry session; store.FindDriverSession(resourceName, session) == S_OK) {
    logicalName_ = std::string(resourceName);
    if (HRESULT hr = ApplyDriverSession(session); Failed(hr)) return hr;
    if (HRESULT hr = ProcessOptionString(optionString_); Failed(hr)) return hr;
    StoreEntry module;
    const HRESULT hr = session.Reference("SoftwareModule", store::kSoftwareModules, module);
    if (hr != S_OK) return Failed(hr) ? hr : S_OK;
    return ReadPublishedRepCaps(module);
  }

  resourceDescriptor_ = std::string(resourceName);
  StoreEntry module;
  if (store.FindByName(store::kSoftwareModules, constants_.identifier, module) != S_OK) {
    return Reporter().Report(Message::CannotRecover, "Software module could not be loaded from the IVI Configuration Store.");
  }
  if (HRESULT hr = LoadInitialSettingsOf(module); Failed(hr)) return hr;
  if (HRESULT hr = ProcessOptionString(optionString_); Failed(hr)) return hr;
  return ReadPublishedRepCaps(module);
}

HRESULT CDriver::ApplyDriverSession(const StoreEntry& session) {
  if (HRESULT hr = ReadVirtualNames(session); Failed(hr)) return hr;
  StoreEntry asset;
  const HRESULT found = session.Reference("HardwareAsset", store::kHardwareAssets, asset);
  if (Failed(found)) return found;
  if (found == S_OK) {
    if (HRESULT hr = asset.Text("IOResourceDescriptor", resourceDescriptor_); Failed(hr)) return hr;
    resourceDescriptor_ = std::string(TrimWhiteSpace(resourceDescriptor_));
  }
  for (const SettingOption& option : kSettingOptions) {
    bool value = false;
    if (HRESULT hr = session.Boolean(option.storeProperty, value); Failed(hr)) return hr;
    settings_.*option.setting = value;
  }
  std::string driverSetup;
  if (HRESULT hr = session.Text("DriverSetup", driverSetup); Failed(hr)) return hr;
  if (HRESULT hr = ProcessDriverSetup(driverSetup); Failed(hr)) return hr;
  return LoadInitialSettingsOf(session);
}

HRESULT CDriver::LoadInitialSettingsOf(const StoreEntry& component) {
  StoreEntry settings;
  if (HRESULT hr = component.DataComponent(store::kConfigurableInitialSettings, settings); Failed(hr)) return hr;
  if (!EqualsIgnoringCase(settings.DataComponentType(), "Structure")) return S_OK;
  return LoadConfigurableInitialSettings(settings);
}

HRESULT CDriver::LoadConfigurableInitialSettings(const StoreEntry& settings) {
  if (!settings) {
    return Reporter().Report(Message::InvalidValue, {}, {"0", "LoadConfigurableInitialSettings", "spConfigSettings"});
  }
  if (HRESULT hr = initialSettingsMap_.Load(settings); Failed(hr)) return hr;
  if (std::optional<std::string> model = initialSettingsMap_.Text("model")) instrumentModel_ = std::move(*model);
  return S_OK;
}

HRESULT CDriver::ReadVirtualNames(const StoreEntry& session) {
  return ExpandVirtualNames(session, [this](std::string_view virtualName, std::string_view mappedTo) {
    AddVirtualName(virtualName, mappedTo);
  });
}

HRESULT CDriver::ReadPublishedRepCaps(const StoreEntry& module) {
  // Physical names may carry ranges and nest: a nested name is written
  // "parent:child", the way selectors write levels.
  struct Level {
    StoreEntry entry;
    std::string prefix;
  };
  std::vector<Level> pending{{module, {}}};
  NameBudget budget;
  while (!pending.empty()) {
    const Level level = std::move(pending.back());
    pending.pop_back();
    std::vector<StoreEntry> names;
    if (HRESULT hr = level.entry.Entries("PhysicalNames", names); Failed(hr)) return hr;
    for (const StoreEntry& entry : names) {
      std::string name;
      std::string repCap;
      std::vector<StoreEntry> ranges;
      if (HRESULT hr = entry.Text("Name", name); Failed(hr)) return hr;
      if (HRESULT hr = entry.Text("RCName", repCap); Failed(hr)) return hr;
      if (HRESULT hr = entry.Entries("PhysicalRanges", ranges); Failed(hr)) return hr;
      name = level.prefix + std::string(TrimWhiteSpace(name));
      repCap = std::string(TrimWhiteSpace(repCap));
      std::vector<std::string> expanded;
      if (ranges.empty()) expanded.push_back(name);
      for (const StoreEntry& range : ranges) {
        std::int32_t minimum = 0;
        std::int32_t maximum = 0;
        if (HRESULT hr = range.Integer("Min", minimum); Failed(hr)) return hr;
        if (HRESULT hr = range.Integer("Max", maximum); Failed(hr)) return hr;
        for (std::int64_t i = minimum; i <= maximum; ++i) {
          expanded.push_back(name + std::to_string(i));
          if (!budget.Take(expanded.back().size() + repCap.size())) {
            return range.Fail(E_IVICONFIG_DESERIALIZE_FAILED, kTooManyNames);
          }
        }
      }
      if (ranges.empty() && !budget.Take(name.size() + repCap.size())) {
        return entry.Fail(E_IVICONFIG_DESERIALIZE_FAILED, kTooManyNames);
      }
      const bool nests = store::FindChild(entry.Node(), "PhysicalNames") != nullptr;
      for (std::string& physical : expanded) {
        if (nests) pending.push_back({entry, physical + ":"});
        publishedRepCaps_.insert_or_assign(std::move(physical), repCap);
      }
    }
  }
  return S_OK;
}

HRESULT CDriver::ProcessOptionString(std::string_view optionString) {
  if (optionString.empty()) return S_OK;
  const DriverSetupSplit split = SplitDriverSetup(optionString);
  if (split.driverSetup) {
    if (HRESULT hr = ProcessDriverSetup(*split.driverSetup); Failed(hr)) return hr;
  }
  for (const OptionPair& pair : ParseOptionPairs(split.options)) {
    if (HRESULT hr = ProcessInitOption(pair.name, pair.value); Failed(hr)) return hr;
  }
  return S_OK;
}

HRESULT CDriver::ProcessDriverSetup(std::string_view driverSetup) {
  driverSetup_ = std::string(driverSetup);
  for (const OptionPair& pair : ParseOptionPairs(NormalizeDriverSetup(driverSetup))) {
    if (HRESULT hr = ProcessDriverSetupOption(pair.name, pair.value); Failed(hr)) return hr;
  }
  return S_OK;
}

HRESULT CDriver::ReportBadOptionValue(std::string_view value) {
  return Reporter().Report(Message::BadOptionValue, {}, {value});
}

HRESULT CDriver::ProcessInitOption(std::string_view name, std::string_view value) {
  if (name.empty()) return Reporter().Report(Message::InvalidValue, {}, {"0", "ProcessInitOption", "strNameIn"});
  if (value.empty()) return Reporter().Report(Message::InvalidValue, {}, {"0", "ProcessInitOption", "strValueIn"});
  const std::string key = AsciiLower(TrimWhiteSpace(name));
  for (const SettingOption& option : kSettingOptions) {
    if (key != option.name) continue;
    const std::optional<bool> flag = ParseOptionBoolean(value);
    if (!flag) return ReportBadOptionValue(value);
    settings_.*option.setting = *flag;
  }
  optionMap_[key] = std::string(value);
  return S_OK;
}

HRESULT CDriver::ProcessDriverSetupOption(std::string_view name, std::string_view value) {
  const std::string key = AsciiLower(TrimWhiteSpace(name));
  const auto flag = [&](bool& target) {
    const std::optional<bool> parsed = ParseOptionBoolean(value);
    if (!parsed) return ReportBadOptionValue(value);
    target = *parsed;
    return S_OK;
  };
  HRESULT hr = S_OK;
  if (key == "model") {
    instrumentModel_ = std::string(value);
  } else if (key == "trace") {
    bool enabled = false;
    hr = flag(enabled);
    // Turning off a trace that is closed already fails (0x8000FFFF) and so ends Initialize.
    if (Succeeded(hr)) hr = traceFile_.SetEnabled(enabled);
  } else if (key == "tracename") {
    traceFile_.Settings().fileName = std::string(value);
  } else if (key == "tracesizemax") {
    traceFile_.Settings().sizeMax = LeadingInteger(value);
  } else if (key == "tracearray") {
    hr = flag(traceFile_.Settings().traceArrays);
  } else if (key == "tracearraysizemax") {
    traceFile_.Settings().arraySizeMax = LeadingInteger(value);
  } else if (key == "tracesaveinterval") {
    traceFile_.Settings().saveInterval = LeadingInteger(value);
  } else if (key == "tracetransform") {
    traceFile_.Settings().transform = std::string(value);
  }
  if (Failed(hr)) return hr;
  driverSetupMap_[key] = std::string(value);
  return S_OK;
}

std::string CDriver::GetOptionValue(std::string_view name) const {
  const auto it = optionMap_.find(AsciiLower(TrimWhiteSpace(name)));
  return it == optionMap_.end() ? std::string() : it->second;
}

std::string CDriver::GetDriverSetupValue(std::string_view name) const {
  const auto it = driverSetupMap_.find(AsciiLower(TrimWhiteSpace(name)));
  return it == driverSetupMap_.end() ? std::string() : it->second;
}

std::optional<bool> CDriver::GetOptionBoolean(std::string_view name) const {
  return ParseOptionBoolean(GetOptionValue(name));
}
std::optional<bool> CDriver::GetDriverSetupBoolean(std::string_view name) const {
  return ParseOptionBoolean(GetDriverSetupValue(name));
}

std::optional<std::string> CDriver::GetInitialSettingText(std::string_view name) const {
  return initialSettingsMap_.Text(name);
}
std::optional<std::int32_t> CDriver::GetInitialSettingInteger(std::string_view name) const {
  return initialSettingsMap_.Integer(name);
}
std::optional<double> CDriver::GetInitialSettingReal(std::string_view name) const {
  return initialSettingsMap_.Real(name);
}
std::optional<bool> CDriver::GetInitialSettingBoolean(std::string_view name) const {
  return initialSettingsMap_.Boolean(name);
}

std::string CDriver::ResolveName(std::string_view name) const {
  const auto it = virtualToPhysical_.find(AsciiLower(name));
  std::string_view resolved = it == virtualToPhysical_.end() ? name : std::string_view(it->second);
  constexpr std::string_view kQualifier = "!!";
  if (const std::size_t at = resolved.find(kQualifier); at != std::string_view::npos) {
    resolved.remove_prefix(at + kQualifier.size());
  }
  return std::string(resolved);
}

std::string CDriver::ReportedNameOf(std::string_view repCapName, std::string_view physicalName) const {
  const std::string qualified = std::string(repCapName) + "!!" + std::string(physicalName);
  const auto it = physicalToVirtual_.find(qualified);
  return it == physicalToVirtual_.end() ? std::string(physicalName) : it->second;
}

void CDriver::AddVirtualName(std::string_view virtualName, std::string_view mappedTo) {
  virtualToPhysical_[AsciiLower(virtualName)] = std::string(mappedTo);
  physicalToVirtual_[std::string(mappedTo)] = std::string(virtualName);
}

}  // namespace hvzelta
