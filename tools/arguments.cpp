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
    if (!optionsEnded && word == "--") {
      optionsEnded = true;
      continue;
    }
    const bool isLong = !optionsEnded && word.size() > 2 && word.substr(0, 2) == "--";
    const bool isShort = !optionsEnded && !isLong && word.size() == 2 && word[0] == '-';
    const std::size_t equals = isLong ? word.find('=') : std::string_view::npos;
    const std::string_view longName =
        isLong ? word.substr(2, equals == std::string_view::npos ? equals : equals - 2) : "";
    const auto rule = std::find_if(options.begin(), options.end(), [&](const OptionRule& o) {
      return isLong ? o.name == longName : isShort && o.shortName == word[1];
    });
    if (!isLong && rule == options.end()) {
      positional_.emplace_back(word);
      continue;
    }
    const std::string_view name = isLong ? longName : rule->name;
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
