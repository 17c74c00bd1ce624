#include "core/option_string.h"

#include <limits>
#include <unordered_map>

#include "platform/text.h"

namespace hvzelta {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsPairSeparator(char c) { return c == ',' || c == '='; }

}  // namespace

DriverSetupSplit SplitDriverSetup(std::string_view optionString) {
  constexpr std::string_view kKey = "DRIVERSETUP";
  const std::string upper = AsciiUpper(optionString);
  std::size_t at = upper.find("DRIVERSETUP=");
  std::size_t valueStart = at + kKey.size() + 1;
  if (at == std::string::npos) {
    // "DriverSetup" and its "=" may stand apart, with blanks between them.
    at = upper.find(kKey);
    while (at != std::string::npos && !(at + kKey.size() < upper.size() && IsBlank(upper[at + kKey.size()]))) {
      at = upper.find(kKey, at + 1);
    }
    if (at == std::string::npos) return {optionString, std::nullopt};
    std::size_t i = at + kKey.size();
    while (i < upper.size() && IsWhiteSpaceChar(upper[i])) ++i;
    if (i >= upper.size() || upper[i] != '=') return {optionString, std::nullopt};
    valueStart = i + 1;
  }
  return {optionString.substr(0, at), optionString.substr(valueStart)};
}

std::vector<OptionPair> ParseOptionPairs(std::string_view text) {
  std::vector<OptionPair> pairs;
  std::unordered_map<std::string, std::size_t> placeOf;
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsPairSeparator(text[i])) {
      ++i;
      continue;
    }
    const std::size_t nameEnd = text.find_first_of(",=", i);
    const bool hasValue = nameEnd != std::string_view::npos && text[nameEnd] == '=' && nameEnd + 1 < text.size() &&
                          !IsPairSeparator(text[nameEnd + 1]);
    if (!hasValue) {
      i = nameEnd == std::string_view::npos ? text.size() : nameEnd;
      continue;
    }
    std::size_t valueEnd = text.find_first_of(",=", nameEnd + 1);
    if (valueEnd == std::string_view::npos) valueEnd = text.size();
    OptionPair pair{std::string(TrimWhiteSpace(text.substr(i, nameEnd - i))),
                    std::string(TrimWhiteSpace(text.substr(nameEnd + 1, valueEnd - nameEnd - 1)))};
    // Looked up by lower-cased name, so that a string of many names parses in linear time.
    const auto [earlier, added] = placeOf.try_emplace(AsciiLower(pair.name), pairs.size());
    if (added) {
      pairs.push_back(std::move(pair));
    } else {
      pairs[earlier->second].value = std::move(pair.value);
    }
    i = valueEnd;
  }
  return pairs;
}

std::optional<bool> ParseOptionBoolean(std::string_view value) {
  for (std::string_view word : {"true", "VI_TRUE", "1"}) {
    if (EqualsIgnoringCase(value, word)) return true;
  }
  for (std::string_view word : {"false", "VI_FALSE", "0"}) {
    if (EqualsIgnoringCase(value, word)) return false;
  }
  return std::nullopt;
}

long long LeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsWhiteSpaceChar(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr long long kMax = std::numeric_limits<long long>::max();
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value > (kMax - digit) / 10) return negative ? std::numeric_limits<long long>::min() : kMax;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

std::string NormalizeDriverSetup(std::string_view driverSetup) {
  constexpr std::string_view kColonForm = "NumPhases:";
  std::string out(driverSetup);
  for (std::size_t at = out.find(kColonForm); at != std::string::npos; at = out.find(kColonForm, at + 1)) {
    out[at + kColonForm.size() - 1] = '=';
  }
  return out;
}

}  // namespace hvzelta
