#pragma once

// The driver's attributes and enumeration values by name, for the command
// line: names as the C header spells them, types and access as the C
// interface's attribute table has them.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capi/attribute_map.h"
#include "hvzelta.h"

namespace hvzelta::cli {

// What the channel name of an attribute selects.
enum class ChannelKind { None, Output, Phase };

struct AttributeInfo {
  std::string name;  // without "HVZELTA_ATTR_"
  ViAttr id;
  capi::AttributeType type;
  bool readable;
  bool writable;
  ChannelKind channel;
  // The header's value names of the attribute start with "HVZELTA_VAL_"
  // and this; empty when the attribute takes any number.
  std::string_view valuePrefix;
};

// One named value, its name without "HVZELTA_VAL_" and the prefix.
struct Symbol {
  std::string_view name;
  ViInt32 value;
};

// Every attribute of the C interface, by identifier.
std::span<const AttributeInfo> Attributes();

// The attribute with this identifier, which must be one of the table's (the
// program's own tables name them by the header's macros).
const AttributeInfo& AttributeById(ViAttr id);

// By short name ("VOLTAGE_LEVEL"), full name ("HVZELTA_ATTR_VOLTAGE_LEVEL"),
// either without regard to case, or decimal identifier. The header's second
// name of one setting (OUTPUT_VOLTAGE_LEVEL) finds the setting's own
// (VOLTAGE_LEVEL), which alone is in Attributes().
const AttributeInfo* FindAttribute(std::string_view text);

// The attribute name nearest to `text` when it looks like a typing slip
// ("VOLTAGE_LEVL"); empty when none is near.
std::string_view NearestAttributeName(std::string_view text);

// The values whose names start with "HVZELTA_VAL_" + prefix, in header order.
std::vector<Symbol> Enumeration(std::string_view prefix);

// The value named `text`: the short name ("IMMEDIATE"), the name with the
// prefix ("TRIGGER_SOURCE_IMMEDIATE") or the full name, without regard to case.
std::optional<ViInt32> FindSymbol(std::string_view prefix, std::string_view text);

// The value name of the enumeration nearest to `text`, as for attributes.
std::string_view NearestSymbolName(std::string_view prefix, std::string_view text);

// The short name of `value`; empty when the enumeration has none for it.
std::string_view SymbolName(std::string_view prefix, ViInt32 value);

std::string_view TypeName(capi::AttributeType type);     // "ViReal64"
std::string_view ChannelKindName(ChannelKind kind);      // "output", "phase" or "none"
std::string_view AccessName(const AttributeInfo& info);  // "read/write", "read-only", "write-only"

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace hvzelta::cli
