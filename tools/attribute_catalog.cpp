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

// Names the header gives twice to one instrument setting: the command line
// takes the one whose name is the setting's own (VOLTAGE_LEVEL, per output
// phase) and reads the other as another spelling of it, so that one setting
// has one row in the list and one value.
struct AttributeAlias {
  std::string_view name;
  ViAttr aliasId;
  ViAttr id;
};
constexpr AttributeAlias kAliases[] = {
    {"OUTPUT_VOLTAGE_LEVEL", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, HVZELTA_ATTR_VOLTAGE_LEVEL},
};

bool IsAlias(ViAttr id) {
  return std::any_of(std::begin(kAliases), std::end(kAliases), [&](const AttributeAlias& a) { return a.aliasId == id; });
}

// The number of single-letter edits, without regard to case, that turn `a`
// into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The candidate nearest to `text`, when it is near enough to be a slip of
// the fingers (a third of its letters at most); empty otherwise.
std::string_view Nearest(std::string_view text, const std::vector<std::string_view>& candidates) {
  std::string_view best;
  std::size_t bestDistance = std::max<std::size_t>(2, text.size() / 3) + 1;
  for (const std::string_view candidate : candidates) {
    if (const std::size_t distance = EditDistance(text, candidate); distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

std::vector<AttributeInfo> BuildCatalog() {
  std::vector<AttributeInfo> catalog;
  for (const capi::AttributeEntry& entry : capi::AttributeTable()) {
    if (IsAlias(entry.id)) continue;
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
  for (const AttributeAlias& alias : kAliases) {
    if (numeric ? alias.aliasId == id : EqualsIgnoringCase(alias.name, name)) return &AttributeById(alias.id);
  }
  const auto found = std::find_if(all.begin(), all.end(), [&](const AttributeInfo& info) {
    return numeric ? info.id == id : EqualsIgnoringCase(info.name, name);
  });
  return found == all.end() ? nullptr : &*found;
}

std::string_view NearestAttributeName(std::string_view text) {
  std::vector<std::string_view> names;
  for (const AttributeInfo& info : Attributes()) names.push_back(info.name);
  return Nearest(StripPrefix(text, kAttributePrefix).value_or(text), names);
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

std::string_view NearestSymbolName(std::string_view prefix, std::string_view text) {
  std::string_view name = StripPrefix(text, kValuePrefix).value_or(text);
  name = StripPrefix(name, prefix).value_or(name);
  std::vector<std::string_view> names;
  for (const Symbol& symbol : Enumeration(prefix)) names.push_back(symbol.name);
  return Nearest(name, names);
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
