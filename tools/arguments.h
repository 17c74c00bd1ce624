#pragma once

// The words of a subcommand: positional words and "--name value" options
// ("--name=value" too); a flag is an option without a value.

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
};

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
