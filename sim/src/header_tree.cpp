#include "header_tree.h"

#include <stdexcept>

namespace zta_sim {

namespace {

constexpr std::uint32_t kCommonRoot = 0;
constexpr std::uint32_t kSubsystemRoot = 1;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// `upper` is already upper case.
bool EqualsIgnoringCase(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Upper(text[i]) != upper[i]) return false;
  }
  return true;
}

[[noreturn]] void Malformed(std::string_view pattern, const char* why) {
  throw std::logic_error("command pattern '" + std::string(pattern) + "': " + why);
}

}  // namespace

HeaderTree::HeaderTree() : nodes_(2) {}

std::vector<HeaderTree::Word> HeaderTree::ParsePattern(std::string_view pattern) {
  std::vector<Word> words;
  std::size_t pos = pattern.empty() || pattern[0] != '*' ? 0 : 1;
  while (pos < pattern.size()) {
    if (pattern[pos] == ':') {
      ++pos;
      continue;
    }
    Word word;
    std::string_view token;
    if (pattern[pos] == '[') {
      const std::size_t close = pattern.find(']', pos);
      if (close == std::string_view::npos) Malformed(pattern, "unclosed '['");
      token = pattern.substr(pos + 1, close - pos - 1);
      while (!token.empty() && token.front() == ':') token.remove_prefix(1);
      while (!token.empty() && token.back() == ':') token.remove_suffix(1);
      word.optional = true;
      pos = close + 1;
    } else {
      const std::size_t end = pattern.find_first_of(":[", pos);
      token = pattern.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
      pos = end == std::string_view::npos ? pattern.size() : end;
    }
    if (!token.empty() && token.back() == '#') {
      word.suffix = true;
      token.remove_suffix(1);
    }
    if (token.empty()) Malformed(pattern, "empty node");
    for (const char c : token) {
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) Malformed(pattern, "node is not a word");
      if (c >= 'A' && c <= 'Z' && word.shortForm.size() == word.longForm.size()) word.shortForm += c;
      word.longForm += Upper(c);
    }
    if (word.shortForm.empty()) Malformed(pattern, "node without short form");
    words.push_back(std::move(word));
  }
  if (words.empty()) Malformed(pattern, "no node");
  return words;
}

void HeaderTree::Add(std::string_view pattern, int row) {
  const std::vector<Word> words = ParsePattern(pattern);
  std::vector<std::size_t> optional;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i].optional) optional.push_back(i);
  }
  if (optional.size() > 8) Malformed(pattern, "too many optional nodes");
  const std::uint32_t root = pattern.front() == '*' ? kCommonRoot : kSubsystemRoot;
  std::vector<const Word*> path;
  for (std::uint32_t mask = 0; mask < (1u << optional.size()); ++mask) {
    path.clear();
    for (std::size_t i = 0, bit = 0; i < words.size(); ++i) {
      if (words[i].optional && !(mask & (1u << bit++))) continue;
      path.push_back(&words[i]);
    }
    if (!path.empty()) Insert(root, path, row, pattern);
  }
}

void HeaderTree::Insert(std::uint32_t root, const std::vector<const Word*>& path, int row,
                        std::string_view pattern) {
  std::uint32_t node = root;
  for (const Word* word : path) node = Child(node, *word, pattern);
  if (nodes_[node].row != -1 && nodes_[node].row != row) Malformed(pattern, "spelling taken by another row");
  nodes_[node].row = row;
}

std::uint32_t HeaderTree::Child(std::uint32_t node, const Word& word, std::string_view pattern) {
  for (const Edge& edge : nodes_[node].edges) {
    const bool same = edge.shortForm == word.shortForm && edge.longForm == word.longForm;
    if (same && edge.suffix == word.suffix) return edge.child;
    if (same || edge.shortForm == word.longForm || edge.longForm == word.shortForm ||
        edge.shortForm == word.shortForm || edge.longForm == word.longForm) {
      Malformed(pattern, "node ambiguous with a sibling");
    }
  }
  const auto child = static_cast<std::uint32_t>(nodes_.size());
  nodes_[node].edges.push_back(Edge{word.shortForm, word.longForm, word.suffix, child});
  nodes_.emplace_back();
  return child;
}

HeaderMatch HeaderTree::Find(bool common, const Mnemonic* nodes, std::size_t depth) const {
  std::uint32_t node = common ? kCommonRoot : kSubsystemRoot;
  ScpiError suffixError = ScpiError::None;
  for (std::size_t i = 0; i < depth; ++i) {
    const Mnemonic& mnemonic = nodes[i];
    const Edge* found = nullptr;
    for (const Edge& edge : nodes_[node].edges) {
      if (EqualsIgnoringCase(mnemonic.name, edge.shortForm) || EqualsIgnoringCase(mnemonic.name, edge.longForm)) {
        found = &edge;
        break;
      }
    }
    if (found == nullptr || (mnemonic.suffix >= 0 && !found->suffix)) return {-1, ScpiError::UndefinedHeader};
    // One output: the only suffix there is, is 1.
    if (mnemonic.suffix >= 0 && mnemonic.suffix != 1) suffixError = ScpiError::HeaderSuffixOutOfRange;
    node = found->child;
  }
  if (nodes_[node].row == -1) return {-1, ScpiError::UndefinedHeader};
  if (suffixError != ScpiError::None) return {-1, suffixError};
  return {nodes_[node].row, ScpiError::None};
}

}  // namespace zta_sim
