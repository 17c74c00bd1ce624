// How Initialize resolves its resource name and applies the option string,
// DriverSetup and the virtual names of a session.

#include <array>
#include <charconv>

#include "core/driver.h"
#include "core/option_string.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

// Operation settings the option string may set.
struct SettingOption {
  std::string_view name;  // lower case
  std::atomic<bool> OperationSettings::*setting;
};

constexpr std::array kSettingOptions{
    SettingOption{"cache", &OperationSettings::cache},
    SettingOption{"interchangecheck", &OperationSettings::interchangeCheck},
    SettingOption{"queryinstrstatus", &OperationSettings::queryInstrumentStatus},
    SettingOption{"rangecheck", &OperationSettings::rangeCheck},
    SettingOption{"recordcoercions", &OperationSettings::recordCoercions},
    SettingOption{"simulate", &OperationSettings::simulate},
};

std::optional<double> ParseReal(std::string_view text) {
  text = TrimWhiteSpace(text);
  if (text.empty()) return std::nullopt;
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<long long> ParseInteger(std::string_view text) {
  text = TrimWhiteSpace(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

HRESULT CDriver::ResolveResourceAndOptions(std::string_view resourceName) {
  resourceDescriptor_.clear();
  logicalName_.clear();
  driverSetup_.clear();
  optionMap_.clear();
  driverSetupMap_.clear();
  virtualToPhysical_.clear();
  physicalToVirtual_.clear();
  instrumentManufacturer_.clear();
  instrumentModel_.clear();
  serialNumber_.clear();
  firmwareRevision_.clear();
  identificationResponse_.clear();
  trace_ = TraceSettings{};
  settings_ = OperationSettings{};

  // Without a configuration store the resource name is the resource descriptor.
  resourceDescriptor_ = std::string(resourceName);
  const HRESULT hr = ProcessOptionString(optionString_);

  if (settings_.simulate && instrumentModel_.empty()) instrumentModel_ = std::string(constants_.defaultSimulationModel);
  initialSettings_ = settings_;
  return hr;
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
    hr = flag(trace_.enabled);
  } else if (key == "tracename") {
    trace_.fileName = std::string(value);
  } else if (key == "tracesizemax") {
    trace_.sizeMax = LeadingInteger(value);
  } else if (key == "tracearray") {
    hr = flag(trace_.traceArrays);
  } else if (key == "tracearraysizemax") {
    trace_.arraySizeMax = LeadingInteger(value);
  } else if (key == "tracesaveinterval") {
    trace_.saveInterval = LeadingInteger(value);
  } else if (key == "tracetransform") {
    trace_.transform = std::string(value);
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
std::optional<long long> CDriver::GetOptionInteger(std::string_view name) const {
  return ParseInteger(GetOptionValue(name));
}
std::optional<double> CDriver::GetOptionReal(std::string_view name) const { return ParseReal(GetOptionValue(name)); }
std::optional<bool> CDriver::GetDriverSetupBoolean(std::string_view name) const {
  return ParseOptionBoolean(GetDriverSetupValue(name));
}
std::optional<long long> CDriver::GetDriverSetupInteger(std::string_view name) const {
  return ParseInteger(GetDriverSetupValue(name));
}
std::optional<double> CDriver::GetDriverSetupReal(std::string_view name) const {
  return ParseReal(GetDriverSetupValue(name));
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
