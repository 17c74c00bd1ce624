#include "attribute_catalog.h"

#include <algorithm>
#include <string>
#include <cctype>
#include <charconv>

namespace hvzelta::cli {

namespace {

struct HeaderAttribute {
  std::string_view name;
  ViAttr id;
  ChannelKind channel;
};

struct HeaderValue {
  std::string_view name;
  ViInt32 value;
};

#include "header_names.inc"

constexpr std::string_view kAttributePrefix = "HVZELTA_ATTR_";
constexpr std::string_view kValuePrefix = "HVZELTA_VAL_";

// The header groups an attribute's values under a comment; these are the
// groups that belong to attributes.
struct ValueGroup {
  ViAttr attribute;
  std::string_view prefix;
};
constexpr ValueGroup kValueGroups[] = {
    {HVZELTA_ATTR_OUTPUT_TRIGGER_SOURCE, "TRIGGER_SOURCE_"},
    {HVZELTA_ATTR_OUTPUT_TRIGGER_ACQUIRE_SOURCE, "TRIGGER_SOURCE_"},
    {HVZELTA_ATTR_OUTPUT_TRIGGER_TRANSIENT_SOURCE, "TRIGGER_SOURCE_"},
    {HVZELTA_ATTR_OUTPUT_AVERAGE, "AVERAGE_"},
    {HVZELTA_ATTR_DC_GENERATION_MODE, "MODE_"},
};

std::vector<AttributeInfo> BuildCatalog() {
  std::vector<AttributeInfo> catalog;
  for (const capi::AttributeEntry& entry : capi::AttributeTable()) {
    const auto named = std::find_if(std::begin(kHeaderAttributes), std::end(kHeaderAttributes),
                                    [&](const HeaderAttribute& h) { return h.id == entry.id; });
    const auto group = std::find_if(std::begin(kValueGroups), std::end(kValueGroups),
                                    [&](const ValueGroup& g) { return g.attribute == entry.id; });
    catalog.push_back(
        {named != std::end(kHeaderAttributes) ? std::string(named->name) : "ATTRIBUTE_" + std::to_string(entry.id),
         entry.id, entry.type, entry.reader != nullptr, entry.writer != nullptr,
         named != std::end(kHeaderAttributes) ? named->channel : ChannelKind::None,
         group != std::end(kValueGroups) ? group->prefix : std::string_view()});
  }
  return catalog;
}

// `text` without `prefix`, compared without regard to case; nullopt when it
// does not start with it.
std::optional<std::string_view> StripPrefix(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size() || !EqualsIgnoringCase(text.substr(0, prefix.size()), prefix)) return std::nullopt;
  return text.substr(prefix.size());
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::span<const AttributeInfo> Attributes() {
  static const std::vector<AttributeInfo> catalog = BuildCatalog();
  return catalog;
}

const AttributeInfo& AttributeById(ViAttr id) {
  const std::span<const AttributeInfo> all = Attributes();
  return *std::find_if(all.begin(), all.end(), [&](const AttributeInfo& info) { return info.id == id; });
}

const AttributeInfo* FindAttribute(std::string_view text) {
  const std::span<const AttributeInfo> all = Attributes();
  ViAttr id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  const bool numeric = !text.empty() && error == std::errc() && end == text.data() + text.size();
  const std::string_view name = StripPrefix(text, kAttributePrefix).value_or(text);
  const auto found = std::find_if(all.begin(), all.end(), [&](const AttributeInfo& info) {
    return numeric ? info.id == id : EqualsIgnoringCase(info.name, name);
  });
  return found == all.end() ? nullptr : &*found;
}

std::vector<Symbol> Enumeration(std::string_view prefix) {
  std::vector<Symbol> symbols;
  for (const HeaderValue& value : kHeaderValues) {
    if (value.name.starts_with(prefix)) symbols.push_back({value.name.substr(prefix.size()), value.value});
  }
  return symbols;
}

namespace {

// Whether `text` names `symbol` in either spelling: the header's
// (VOLTAGE_AC) or the object interface's (VoltageAC), in any case.
bool NamesSymbol(std::string_view symbol, std::string_view text) {
  auto letters = [](std::string_view name) {
    std::string kept;
    for (char c : name) {
      if (c != '_') kept += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return kept;
  };
  return letters(symbol) == letters(text);
}

}  // namespace

std::optional<ViInt32> FindSymbol(std::string_view prefix, std::string_view text) {
  std::string_view name = StripPrefix(text, kValuePrefix).value_or(text);
  name = StripPrefix(name, prefix).value_or(name);
  for (const Symbol& symbol : Enumeration(prefix)) {
    if (NamesSymbol(symbol.name, name)) return symbol.value;
  }
  return std::nullopt;
}

std::string_view SymbolName(std::string_view prefix, ViInt32 value) {
  for (const Symbol& symbol : Enumeration(prefix)) {
    if (symbol.value == value) return symbol.name;
  }
  return {};
}

std::string_view TypeName(capi::AttributeType type) {
  switch (type) {
    case capi::AttributeType::Int32:
      return "ViInt32";
    case capi::AttributeType::Real64:
      return "ViReal64";
    case capi::AttributeType::Boolean:
      return "ViBoolean";
    case capi::AttributeType::Session:
      return "ViSession";
    case capi::AttributeType::String:
      return "ViString";
  }
  return "unknown";
}

std::string_view ChannelKindName(ChannelKind kind) {
  switch (kind) {
    case ChannelKind::Output:
      return "output";
    case ChannelKind::Phase:
      return "phase";
    case ChannelKind::None:
      break;
  }
  return "none";
}

std::string_view AccessName(const AttributeInfo& info) {
  if (info.readable && info.writable) return "read/write";
  return info.readable ? "read-only" : "write-only";
}

}  // namespace hvzelta::cli
