#pragma once

// The regular expressions of viFindRsrc: `?` any one character, `*` and `+`
// the preceding character or group any number of times (at least once for
// `+`), `[list]` and `[^list]` one character of a list (ranges such as
// `0-9` allowed), `(...)` grouping, `|` alternatives, `\` makes the next
// character ordinary. A pattern matches a whole resource name, without
// regard to case ("?*INSTR", "ASRL[0-9]*::?*INSTR", "TCPIP?*|USB?*").
//
// An attribute expression in braces after the pattern ("?*INSTR{VI_ATTR_...
// == 5}") is recognised and refused as unsupported.
//
// Matching runs the pattern as a state machine over the name, so its cost is
// bounded by the lengths of the two, whatever the pattern nests.

#include <bitset>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "visa/visa_types.h"

namespace hvzelta::visa {

class ResourcePattern {
 public:
  // Longest pattern accepted; longer ones are refused as invalid.
  static constexpr std::size_t kMaxLength = 1024;

  // VI_SUCCESS and the compiled pattern; VI_ERROR_INV_EXPR for a malformed
  // pattern, VI_ERROR_NSUP_OPER for one with an attribute expression.
  static ViStatus Compile(std::string_view pattern, std::optional<ResourcePattern>& compiled);

  bool Matches(std::string_view name) const;

 private:
  // One step of the state machine: take one character of a set, go on at
  // two places at once, go on elsewhere, or accept.
  struct Instruction {
    enum class Op : unsigned char { Take, Split, Jump, Accept };
    Op op = Op::Accept;
    std::bitset<256> set;
    std::size_t first = 0;  // Split and Jump: where to go on
    std::size_t second = 0;  // Split: the other place
  };
  using Program = std::vector<Instruction>;
  class Compiler;

  Program program_;
};

}  // namespace hvzelta::visa
