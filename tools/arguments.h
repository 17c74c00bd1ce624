#pragma once

// The words of a subcommand, read by CLI11 from a table of options:
// positional words, "--name value", "--name=value", and for an option with a
// short name "-x value" and "-xVALUE"; a flag is an option without a value.
// A word such as "-5" that is no short name stays positional, so negative
// numbers need no "--".

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hvzelta::cli {

struct OptionRule {
  std::string_view name;  // without the leading "--"
  bool takesValue;
  char shortName = '\0';  // "-x" stands for "--name"; none when '\0'
};

// Whether "-h" or "--help" comes before any "--" among `words`.
bool AsksForHelp(std::span<const std::string_view> words);

// Where the command's name is among `words`: after the session options
// (-r, -o, -c, --json, --no-status-check) and --version, which may come
// before it. Nullopt with `error` set when one of them is unknown or lacks
// its value.
std::optional<std::size_t> LeadingOptionsEnd(std::span<const std::string_view> words, bool& version,
                                             std::string& error);

class Arguments {
 public:
  // False with `error` set for an unknown option, a value missing or given
  // to a flag, or an option given twice.
  bool Parse(std::span<const std::string_view> words, std::span<const OptionRule> options, std::string& error);

  const std::vector<std::string>& Positional() const { return positional_; }
  std::optional<std::string> Value(std::string_view name) const;
  bool Has(std::string_view name) const { return values_.find(name) != values_.end(); }

 private:
  std::vector<std::string> positional_;
  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace hvzelta::cli
