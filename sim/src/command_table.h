#pragma once

// The instrument's command set: one row per command, with the handler of
// its command form, the handler of its query form and the argument both get.

#include <span>
#include <string_view>

#include "command_call.h"
#include "header_tree.h"

namespace zta_sim {

using Handler = void (*)(Call& call);

struct CommandRow {
  std::string_view pattern;
  Handler set;    // nullptr: the header has no command form
  Handler query;  // nullptr: the header has no query form
  int argument;
};

std::span<const CommandRow> CommandTable();

// Every spelling of every row, built on first use.
const HeaderTree& CommandTree();

}  // namespace zta_sim
