#pragma once

// Finds which command a program header names. Command patterns are written
// the SCPI way, "[SOURce#:]VOLTage[:LEVel]:TRIGgered": upper-case letters are
// the short form, the whole word the long form, brackets mark a node that may
// be left out and '#' a node that takes a numeric suffix. Every pattern is
// unfolded into all its spellings once, into a tree that a header walks one
// mnemonic at a time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "program_message.h"
#include "scpi_error.h"

namespace zta_sim {

struct HeaderMatch {
  int row = -1;                        // the pattern's row, -1 when not found
  ScpiError error = ScpiError::None;  // why it was not found
};

class HeaderTree {
 public:
  HeaderTree();

  // Adds a pattern for the given row. Throws std::logic_error when the
  // pattern is malformed or collides with one added before.
  void Add(std::string_view pattern, int row);

  HeaderMatch Find(bool common, const Mnemonic* nodes, std::size_t depth) const;

 private:
  struct Word {
    std::string shortForm;  // upper case
    std::string longForm;   // upper case
    bool suffix = false;
    bool optional = false;
  };
  struct Edge {
    std::string shortForm;
    std::string longForm;
    bool suffix = false;
    std::uint32_t child = 0;
  };
  struct Node {
    std::vector<Edge> edges;
    int row = -1;
  };

  static std::vector<Word> ParsePattern(std::string_view pattern);
  void Insert(std::uint32_t root, const std::vector<const Word*>& path, int row, std::string_view pattern);
  std::uint32_t Child(std::uint32_t node, const Word& word, std::string_view pattern);

  std::vector<Node> nodes_;  // [0] is the root of common commands, [1] of the rest
};

}  // namespace zta_sim
