#include "core/initial_settings.h"

#include <charconv>
#include <vector>

#include "core/config_store.h"
#include "core/option_string.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

template <class Number>
std::optional<Number> ParseWhole(std::string_view text) {
  text = TrimWhiteSpace(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string TextOf(const ConfigurableInitialSettings::Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* integer = std::get_if<std::int32_t>(&value)) return std::to_string(*integer);
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(value));
  return error == std::errc() ? std::string(buffer, end) : std::string();
}

// How each type of data component is read into a value.
struct TypeReader {
  std::string_view type;
  HRESULT (*read)(const StoreEntry& component, ConfigurableInitialSettings::Value& value);
};

constexpr TypeReader kTypeReaders[] = {
    {"String",
     [](const StoreEntry& component, ConfigurableInitialSettings::Value& value) {
       // A string without a value is the empty string.
       std::string text;
       component.OptionalText("Value", text);
       value = std::move(text);
       return S_OK;
     }},
    {"Integer",
     [](const StoreEntry& component, ConfigurableInitialSettings::Value& value) {
       std::int32_t number = 0;
       const HRESULT hr = component.Integer("Value", number);
       value = number;
       return hr;
     }},
    {"Real",
     [](const StoreEntry& component, ConfigurableInitialSettings::Value& value) {
       double number = 0;
       const HRESULT hr = component.Real("Value", number);
       value = number;
       return hr;
     }},
    {"Boolean",
     [](const StoreEntry& component, ConfigurableInitialSettings::Value& value) {
       bool flag = false;
       const HRESULT hr = component.Boolean("Value", flag);
       value = flag;
       return hr;
     }},
};

}  // namespace

void ConfigurableInitialSettings::Set(std::string_view name, Value value) {
  values_.insert_or_assign(AsciiLower(TrimWhiteSpace(name)), std::move(value));
}

HRESULT ConfigurableInitialSettings::Load(const StoreEntry& structure) {
  std::vector<StoreEntry> components;
  if (HRESULT hr = structure.Entries(store::kDataComponents, components); Failed(hr)) return hr;
  for (const StoreEntry& component : components) {
    const std::string type = component.DataComponentType();
    for (const TypeReader& reader : kTypeReaders) {
      if (!EqualsIgnoringCase(type, reader.type)) continue;
      Value value;
      if (HRESULT hr = reader.read(component, value); Failed(hr)) return hr;
      Set(component.Name(), std::move(value));
    }
  }
  return S_OK;
}

const ConfigurableInitialSettings::Value* ConfigurableInitialSettings::Find(std::string_view name) const {
  const auto it = values_.find(AsciiLower(TrimWhiteSpace(name)));
  return it == values_.end() ? nullptr : &it->second;
}

std::optional<std::string> ConfigurableInitialSettings::Text(std::string_view name) const {
  const Value* value = Find(name);
  if (!value) return std::nullopt;
  return TextOf(*value);
}

std::optional<std::int32_t> ConfigurableInitialSettings::Integer(std::string_view name) const {
  const Value* value = Find(name);
  if (!value) return std::nullopt;
  if (const auto* integer = std::get_if<std::int32_t>(value)) return *integer;
  if (const auto* text = std::get_if<std::string>(value)) return ParseWhole<std::int32_t>(*text);
  return std::nullopt;
}

std::optional<double> ConfigurableInitialSettings::Real(std::string_view name) const {
  const Value* value = Find(name);
  if (!value) return std::nullopt;
  if (const auto* real = std::get_if<double>(value)) return *real;
  if (const auto* integer = std::get_if<std::int32_t>(value)) return *integer;
  if (const auto* text = std::get_if<std::string>(value)) return ParseWhole<double>(*text);
  return std::nullopt;
}

std::optional<bool> ConfigurableInitialSettings::Boolean(std::string_view name) const {
  const Value* value = Find(name);
  if (!value) return std::nullopt;
  if (const auto* flag = std::get_if<bool>(value)) return *flag;
  if (const auto* text = std::get_if<std::string>(value)) return ParseOptionBoolean(*text);
  return std::nullopt;
}

}  // namespace hvzelta
