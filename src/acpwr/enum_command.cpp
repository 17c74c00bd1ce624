#include "acpwr/enum_command.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "base/call_context.h"
#include "base/error_reporter.h"
#include "platform/text.h"

namespace hvzelta {

CEnumCommand::CEnumCommand(std::string model, std::vector<Entry> entries) : CModelBasedType(std::move(model)) {
  for (const Entry& entry : entries) {
    if (!entry.words.empty()) words_.emplace(entry.value, std::string(entry.words.front()));
    for (std::string_view word : entry.words) {
      values_[std::string(word)] = entry.value;
      maxWordLength_ = std::max(maxWordLength_, word.size());
    }
  }
}

const std::string* CEnumCommand::WordOf(std::int32_t value) const {
  const auto it = words_.find(value);
  return it == words_.end() ? nullptr : &it->second;
}

const std::int32_t* CEnumCommand::ValueOf(std::string_view word) const {
  const auto it = values_.find(std::string(word));
  return it == values_.end() ? nullptr : &it->second;
}

void CModelBasedMap::Add(std::unique_ptr<CEnumCommand> table) {
  std::string model = table->Model();
  tables_[std::move(model)] = std::move(table);
}

const CEnumCommand* CModelBasedMap::TableFor(std::string_view model) const {
  if (auto it = tables_.find(model); it != tables_.end()) return it->second.get();
  if (auto it = tables_.find(std::string_view()); it != tables_.end()) return it->second.get();
  return nullptr;
}

std::size_t CModelBasedMap::MaxWordLength() const {
  std::size_t longest = 0;
  for (const auto& [model, table] : tables_) longest = std::max(longest, table->MaxWordLength());
  return longest;
}

HRESULT CEnumCommandConverter::FormatEnum(IErrorReporter& reporter, const MemberDescriptor* member,
                                          std::string_view model, std::int32_t value, bool sixteenBit,
                                          std::string& word) const {
  const std::int32_t key = sixteenBit ? static_cast<std::int16_t>(value) : value;
  const CEnumCommand* table = tables_.TableFor(model);
  const std::string* found = table ? table->WordOf(key) : nullptr;
  if (!found) return reporter.ReportInvalidInteger(member ? member->MemberName() : "", "nVal", key);
  word = *found;
  return S_OK;
}

HRESULT CEnumCommandConverter::ParseEnum(IErrorReporter& reporter, std::string_view enumName, std::string_view model,
                                         std::string_view word, std::int32_t& value) const {
  const CEnumCommand* table = tables_.TableFor(model);
  const std::int32_t* found = table ? table->ValueOf(TrimWhiteSpace(word)) : nullptr;
  if (!found) {
    return reporter.Report(Message::UnexpectedResponse,
                           "Unexpected value '" + std::string(word) + "' for enum '" + std::string(enumName) + "'.");
  }
  value = *found;
  return S_OK;
}

namespace {

using Entries = std::vector<CEnumCommand::Entry>;

CEnumCommandConverter MakeConverter(Entries entries) {
  CModelBasedMap tables;
  tables.Add(std::make_unique<CEnumCommand>(std::string(), std::move(entries)));
  return CEnumCommandConverter(std::move(tables));
}

// The names an enumeration answers to: its short name, its full name, the
// full name without "Enum" and the short name with "Enum".
bool IsSpellingOf(std::string_view name, std::string_view prefix, std::string_view stem) {
  constexpr std::string_view kEnum = "Enum";
  const bool hasEnum = name.ends_with(kEnum);
  if (hasEnum) name.remove_suffix(kEnum.size());
  if (name == stem) return true;
  return name.size() == prefix.size() + stem.size() && name.starts_with(prefix) && name.ends_with(stem);
}

struct NamedEnum {
  std::string_view prefix;
  std::string_view stem;
};

// Enumerations the driver knows whose values its members translate themselves.
constexpr std::array kNamesWithoutConverter{
    NamedEnum{"HalvornZelta", "AmmeterItem"},
    NamedEnum{"HalvornZelta", "HoldTime"},
    NamedEnum{"HalvornZelta", "OutputState"},
    NamedEnum{"HalvornZelta", "MeasurementType"},
    NamedEnum{"HalvornZelta", "Average"},
    NamedEnum{"IviACPwr", "MeasurementType"},
    NamedEnum{"IviACPwr", "MeasurementGroup"},
    NamedEnum{"IviACPwr", "DCGeneration"},
    NamedEnum{"IviACPwr", "WaveformCatalog"},
    NamedEnum{"IviACPwr", "MeasurementTypeArray"},
};

bool ContextIsOneOf(std::string_view context, std::initializer_list<std::string_view> contexts) {
  return context.empty() || std::find(contexts.begin(), contexts.end(), context) != contexts.end();
}

}  // namespace

bool IsSixteenBitEnum(std::string_view enumName) { return enumName == "VARIANT_BOOL"; }

const CEnumCommandConverter* FindEnumConverter(std::string_view enumName, std::string_view memberContext) {
  static const CEnumCommandConverter kBoolean = MakeConverter({{1, {"1"}}, {-1, {"1"}}, {0, {"0"}}});
  static const CEnumCommandConverter kSyncSource = MakeConverter({{1, {"PHAS"}}, {-1, {"PHAS"}}, {0, {"IMM"}}});
  static const CEnumCommandConverter kCouplingMode =
      MakeConverter({{6, {"EXTDC"}}, {5, {"EXTAC"}}, {3, {"ACDC"}}, {2, {"DC"}}, {1, {"AC"}}});
  static const CEnumCommandConverter kCurrentLimitBehavior = MakeConverter({{1, {"1"}}, {0, {"0"}}});
  static const CEnumCommandConverter kTriggerSource = MakeConverter({{2, {"BUS"}}, {0, {"IMM"}}});
  static const CEnumCommandConverter kVisaStatus = MakeConverter({});

  if (enumName == "VARIANT_BOOL") {
    return memberContext == "IHalvornZeltaOutput.SyncEnabled" ? &kSyncSource : &kBoolean;
  }
  if (IsSpellingOf(enumName, "HalvornZelta", "CouplingMode")) {
    return ContextIsOneOf(memberContext, {"IHalvornZeltaOutput.CouplingMode"}) ? &kCouplingMode : nullptr;
  }
  if (IsSpellingOf(enumName, "HalvornZelta", "CurrentLimitBehavior")) {
    return ContextIsOneOf(memberContext, {"IHalvornZeltaOutput.CurrentLimitBehavior"}) ? &kCurrentLimitBehavior
                                                                                        : nullptr;
  }
  if (IsSpellingOf(enumName, "HalvornZelta", "TriggerSource")) {
    return ContextIsOneOf(memberContext, {"IHalvornZeltaOutput.TriggerSource",
                                          "IHalvornZeltaOutput.TriggerAcquireSource",
                                          "IHalvornZeltaOutput.TriggerTransientSource"})
               ? &kTriggerSource
               : nullptr;
  }
  for (const NamedEnum& known : kNamesWithoutConverter) {
    if (IsSpellingOf(enumName, known.prefix, known.stem)) return nullptr;
  }
  if (enumName == "VisaStatusCode") {
    return ContextIsOneOf(memberContext, {"IHalvornZeltaTrigger.Abort", "IHalvornZeltaTrigger.Initiate",
                                          "IHalvornZeltaTrigger.SendSoftwareTrigger",
                                          "IHalvornZeltaOutput.InitiateMeasurement"})
               ? &kVisaStatus
               : nullptr;
  }
  return nullptr;
}

}  // namespace hvzelta
