#pragma once

// Attribute values as the command line writes them: parsed by the
// attribute's type (with its enumeration's names, booleans as
// true/false/on/off/1/0), printed as text or JSON.

#include <optional>
#include <string>
#include <string_view>

#include "attribute_catalog.h"
#include "instrument_session.h"
#include "json_output.h"

namespace hvzelta::cli {

// The value `text` stands for; nullopt with `problem` set when it is none of
// the attribute's type.
std::optional<AttributeValue> ParseAttributeValue(const AttributeInfo& attribute, std::string_view text,
                                                  std::string& problem);

// Text that ParseAttributeValue reads back as the same value: an
// enumeration's name where it has one, numbers in their shortest exact form.
std::string FormatAttributeValue(const AttributeInfo& attribute, const AttributeValue& value);

// The enumeration's name of the value; empty when it has none.
std::string_view ValueName(const AttributeInfo& attribute, const AttributeValue& value);

// The value as a JSON string, number or boolean.
Json AttributeJson(const AttributeValue& value);

// The shortest text that reads back as the same double ("230", "0.1", "1e+300").
std::string ShortestText(double value);

}  // namespace hvzelta::cli
