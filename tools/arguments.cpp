#include "arguments.h"

#include <algorithm>

namespace hvzelta::cli {

bool Arguments::Parse(std::span<const std::string_view> words, std::span<const OptionRule> options,
                      std::string& error) {
  positional_.clear();
  values_.clear();
  bool optionsEnded = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string_view word = words[i];
    if (optionsEnded || word.size() < 3 || word.substr(0, 2) != "--") {
      positional_.emplace_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string_view name = word.substr(2, equals == std::string_view::npos ? std::string_view::npos : equals - 2);
    const auto rule = std::find_if(options.begin(), options.end(), [&](const OptionRule& o) { return o.name == name; });
    if (rule == options.end()) {
      error = "unknown option --" + std::string(name);
      return false;
    }
    if (values_.find(name) != values_.end()) {
      error = "option --" + std::string(name) + " is given twice";
      return false;
    }
    std::string value;
    if (equals != std::string_view::npos) {
      if (!rule->takesValue) {
        error = "option --" + std::string(name) + " takes no value";
        return false;
      }
      value = std::string(word.substr(equals + 1));
    } else if (rule->takesValue) {
      if (i + 1 >= words.size()) {
        error = "option --" + std::string(name) + " needs a value";
        return false;
      }
      value = std::string(words[++i]);
    }
    values_.emplace(std::string(name), std::move(value));
  }
  return true;
}

std::optional<std::string> Arguments::Value(std::string_view name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

}  // namespace hvzelta::cli
