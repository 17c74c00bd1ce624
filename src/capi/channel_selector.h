#pragma once

// The parsed form of a C function's channel-name argument (a repeated
// capability selector): an ordered list of paths, each an ordered list of
// level names, all paths with the same number of levels.
//
//   Output1               one path, one level
//   A,B                   the paths A and B
//   A:B,C:D               the paths A:B and C:D
//   A:[B,C]               the paths A:B and A:C
//   Phase1-Phase3         Phase1, Phase2 and Phase3 (where ranges are allowed)
//
// Names are letters, digits, "_" and "!"; blanks around names, tokens and
// range parts do not count. The text is parsed once per call into storage
// from the caller's memory resource, so a short selector costs no heap.

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <string>
#include <string_view>

namespace hvzelta::capi {

enum class SelectorError {
  None,
  BadlyFormed,    // also a duplicate path, or more names than kMaxNames
  InvalidRange,   // a range that runs backwards, mixes names or is longer than kMaxNames
  InvalidLevels,  // paths with different numbers of levels, or a level the paths lack
};

// One name: `stem`, followed by `number` in decimal when the name came out of
// a range (leading zeros are not kept).
struct SelectorName {
  std::string_view stem;
  std::uint64_t number = 0;
  bool numbered = false;

  // The decimal digits of `number` (none when not numbered), in `buffer`.
  std::string_view Digits(char (&buffer)[20]) const;
  std::size_t Size() const;
  // Writes the Size() characters of the name.
  template <class Char>
  void SpellInto(Char* out) const;
  std::string Text() const;
  friend bool operator==(const SelectorName& a, const SelectorName& b);
};

class ChannelSelector {
 public:
  // Bounds the work a selector can cause: names over all paths.
  static constexpr std::size_t kMaxNames = 1024;

  explicit ChannelSelector(std::pmr::memory_resource* memory = std::pmr::get_default_resource());

  // Parses `text`; names keep pointing into it. A range where ranges are not
  // allowed is badly formed.
  SelectorError Parse(std::string_view text, bool rangesAllowed);

  std::size_t PathCount() const { return pathCount_; }
  // Name `level` of path `path`: BadlyFormed beyond the paths, InvalidLevels
  // beyond the path's levels.
  SelectorError Name(std::size_t path, std::size_t level, SelectorName& name) const;

 private:
  class Collector;

  SelectorError Close(Collector& collector);
  bool HasDuplicatePaths() const;

  std::pmr::memory_resource* memory_;
  std::pmr::vector<SelectorName> names_;  // path after path, levels_ names each
  std::size_t levels_ = 0;
  std::size_t pathCount_ = 0;
};

template <class Char>
void SelectorName::SpellInto(Char* out) const {
  char buffer[20];
  for (char c : stem) *out++ = static_cast<Char>(c);
  for (char c : Digits(buffer)) *out++ = static_cast<Char>(c);
}

}  // namespace hvzelta::capi
