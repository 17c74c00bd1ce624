#include "arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>

namespace hvzelta::cli {

bool AsksForHelp(std::span<const std::string_view> words) {
  const auto end = std::find(words.begin(), words.end(), "--");
  return std::any_of(words.begin(), end, [](std::string_view word) { return word == "-h" || word == "--help"; });
}

namespace {

// Parses `words` with `app`; false with `error` set when CLI11 refuses them,
// a missing value said the way the rest of the program says it.
bool ParseWith(CLI::App& app, std::span<const std::string_view> words, std::string& error) {
  // CLI11 takes its words last to first.
  std::vector<std::string> reversed(words.rbegin(), words.rend());
  try {
    app.parse(reversed);
    return true;
  } catch (const CLI::ArgumentMismatch& failure) {
    const std::string text = failure.what();
    error = "option " + text.substr(0, text.find(':')) + " needs a value";
  } catch (const CLI::ParseError& failure) {
    error = failure.what();
  }
  return false;
}

}  // namespace

std::optional<std::size_t> LeadingOptionsEnd(std::span<const std::string_view> words, bool& version,
                                             std::string& error) {
  CLI::App app;
  app.set_help_flag();
  app.prefix_command();
  for (const char* names : {"-r,--resource", "-o,--options", "-c,--channel"}) app.add_option(names);
  app.add_flag("--json");
  app.add_flag("--no-status-check");
  app.add_flag("--version", version);
  if (!ParseWith(app, words, error)) return std::nullopt;
  // The command's name and what follows stay unread, and so does an unknown
  // option before it.
  const std::vector<std::string> rest = app.remaining();
  if (!rest.empty() && rest.front().starts_with('-')) {
    error = "unknown option '" + rest.front() + "'";
    return std::nullopt;
  }
  return words.size() - rest.size();
}

bool Arguments::Parse(std::span<const std::string_view> words, std::span<const OptionRule> options,
                      std::string& error) {
  positional_.clear();
  values_.clear();
  CLI::App app;
  app.set_help_flag();
  app.allow_extras();
  std::vector<std::pair<const OptionRule*, CLI::Option*>> declared;
  for (const OptionRule& rule : options) {
    const std::string names =
        (rule.shortName != '\0' ? std::string("-") + rule.shortName + "," : std::string()) + "--" + std::string(rule.name);
    CLI::Option* option = rule.takesValue ? app.add_option(names)->expected(1) : app.add_flag(names);
    declared.emplace_back(&rule, option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll));
  }
  app.add_option("words", positional_);
  if (!ParseWith(app, words, error)) return false;
  if (const std::vector<std::string> extras = app.remaining(); !extras.empty()) {
    error = "unknown option " + extras.front();
    return false;
  }
  for (const auto& [rule, option] : declared) {
    if (option->count() == 0) continue;
    if (option->count() > 1) {
      error = "option --" + std::string(rule->name) + " is given twice";
      return false;
    }
    // CLI11 would read "--json=false" as a flag's value; a flag here has none.
    if (!rule->takesValue && option->results().front() != "true") {
      error = "option --" + std::string(rule->name) + " takes no value";
      return false;
    }
    values_.emplace(std::string(rule->name), rule->takesValue ? option->results().front() : std::string());
  }
  return true;
}

std::optional<std::string> Arguments::Value(std::string_view name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

}  // namespace hvzelta::cli
