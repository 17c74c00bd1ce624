#include "io/typed_directives.h"

#include <array>
#include <utility>

namespace hvzelta {

namespace {

// The characters a list directive can separate with, and how it names them.
constexpr std::array<std::pair<char, std::string_view>, 7> kSeparators{{
    {',', ","},
    {';', "(;)"},
    {':', "(:)"},
    {' ', "(s)"},
    {'\t', "(t)"},
    {'\n', "(n)"},
    {'\r', "(r)"},
}};

}  // namespace

bool BuildListDirective(const TypedDirectives& row, ListDirection direction, char separator, std::string& directive) {
  for (const auto& [character, part] : kSeparators) {
    if (character != separator) continue;
    directive.assign("%");
    if (direction == ListDirection::Write) {
      directive.append(row.listPrecision).append(part).append("*").append(row.listWrite);
    } else {
      directive.append(part).append("#").append(row.listRead);
    }
    return true;
  }
  return false;
}

}  // namespace hvzelta
