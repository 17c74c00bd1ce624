#include "attribute_value.h"

#include <charconv>
#include <cmath>

namespace hvzelta::cli {

namespace {

template <class Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<bool> ParseBoolean(std::string_view text) {
  for (std::string_view yes : {"true", "on", "1", "VI_TRUE"}) {
    if (EqualsIgnoringCase(text, yes)) return true;
  }
  for (std::string_view no : {"false", "off", "0", "VI_FALSE"}) {
    if (EqualsIgnoringCase(text, no)) return false;
  }
  return std::nullopt;
}

std::string SymbolList(std::string_view prefix) {
  std::string list;
  for (const Symbol& symbol : Enumeration(prefix)) list += (list.empty() ? "" : ", ") + std::string(symbol.name);
  return list;
}

}  // namespace

std::optional<AttributeValue> ParseAttributeValue(const AttributeInfo& attribute, std::string_view text,
                                                  std::string& problem) {
  switch (attribute.type) {
    case capi::AttributeType::Int32: {
      if (const auto number = ParseNumber<ViInt32>(text)) return *number;
      if (!attribute.valuePrefix.empty()) {
        if (const auto symbol = FindSymbol(attribute.valuePrefix, text)) return *symbol;
        problem =
            "'" + std::string(text) + "' is neither a whole number nor one of " + SymbolList(attribute.valuePrefix);
        if (const std::string_view nearest = NearestSymbolName(attribute.valuePrefix, text); !nearest.empty()) {
          problem += "; did you mean " + std::string(nearest) + "?";
        }
      } else {
        problem = "'" + std::string(text) + "' is not a whole number from -2147483648 to 2147483647";
      }
      return std::nullopt;
    }
    case capi::AttributeType::Real64: {
      const auto number = ParseNumber<double>(text);
      if (number && std::isfinite(*number)) return *number;
      problem = "'" + std::string(text) + "' is not a finite number";
      return std::nullopt;
    }
    case capi::AttributeType::Boolean: {
      if (const auto state = ParseBoolean(text)) return *state;
      problem = "'" + std::string(text) + "' is not a boolean (true, false, on, off, 1 or 0)";
      return std::nullopt;
    }
    case capi::AttributeType::String:
      return std::string(text);
    case capi::AttributeType::Session:
      break;
  }
  problem = "attributes of type " + std::string(TypeName(attribute.type)) + " cannot be set from the command line";
  return std::nullopt;
}

std::string_view ValueName(const AttributeInfo& attribute, const AttributeValue& value) {
  const auto* number = std::get_if<ViInt32>(&value);
  return number && !attribute.valuePrefix.empty() ? SymbolName(attribute.valuePrefix, *number) : std::string_view();
}

std::string FormatAttributeValue(const AttributeInfo& attribute, const AttributeValue& value) {
  if (const std::string_view name = ValueName(attribute, value); !name.empty()) return std::string(name);
  if (const auto* number = std::get_if<ViInt32>(&value)) return std::to_string(*number);
  if (const auto* number = std::get_if<ViReal64>(&value)) return ShortestText(*number);
  if (const auto* state = std::get_if<bool>(&value)) return *state ? "true" : "false";
  return std::get<std::string>(value);
}

Json AttributeJson(const AttributeValue& value) {
  return std::visit([](const auto& alternative) { return Json(alternative); }, value);
}

std::string ShortestText(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

}  // namespace hvzelta::cli
