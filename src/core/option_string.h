#pragma once

// The grammar of the option string that Initialize takes: comma-separated
// name=value pairs, with a DriverSetup part that runs to the end of the text.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hvzelta {

struct OptionPair {
  std::string name;   // trimmed, as written
  std::string value;  // trimmed, as written
};

// The option string cut at its DriverSetup: the part before "DriverSetup" and
// the DriverSetup text after its "=", letters as the caller wrote them.
struct DriverSetupSplit {
  std::string_view options;
  std::optional<std::string_view> driverSetup;
};

DriverSetupSplit SplitDriverSetup(std::string_view optionString);

// Every "name=value" of the text, where name and value are runs without ','
// or '='; anything between such pairs is skipped. A name given twice (without
// regard to case) keeps its first place and takes its later value.
std::vector<OptionPair> ParseOptionPairs(std::string_view text);

// "true", "VI_TRUE", "1" and "false", "VI_FALSE", "0", without regard to case.
std::optional<bool> ParseOptionBoolean(std::string_view value);

// The usual leading-digits conversion: optional white space and sign, then
// digits; no digits gives 0, too many saturates.
long long LeadingInteger(std::string_view text);

// DriverSetup writes "NumPhases:3" as well as "NumPhases=3".
std::string NormalizeDriverSetup(std::string_view driverSetup);

}  // namespace hvzelta
