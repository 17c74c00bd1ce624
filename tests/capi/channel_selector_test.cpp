// The selector grammar on its own: which texts give which paths, and which
// error each malformed text gives.

#include "capi/channel_selector.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace hvzelta::capi {
namespace {

// Each path as its level names joined with ":".
std::vector<std::string> Paths(std::string_view text, bool rangesAllowed = true) {
  ChannelSelector selector;
  EXPECT_EQ(selector.Parse(text, rangesAllowed), SelectorError::None) << text;
  std::vector<std::string> paths;
  for (std::size_t path = 0; path < selector.PathCount(); ++path) {
    std::string joined;
    SelectorName name;
    for (std::size_t level = 0; selector.Name(path, level, name) == SelectorError::None; ++level) {
      joined += (level ? ":" : "") + name.Text();
    }
    paths.push_back(joined);
  }
  return paths;
}

SelectorError ErrorOf(std::string_view text, bool rangesAllowed = true) {
  return ChannelSelector().Parse(text, rangesAllowed);
}

using Strings = std::vector<std::string>;

// The second name of a range only has to start the first.
TEST(ChannelSelectorTest, ListsBracketsAndRangesGivePathsInOrder) {
  const std::pair<const char*, Strings> cases[] = {
      {"", {""}}, {"Output1", {"Output1"}}, {" A ,, B ", {"A", "B"}}, {"A:B,C:D", {"A:B", "C:D"}},
      {"A:[B,C]", {"A:B", "A:C"}}, {"[A,B]:[C,D]", {"A:C", "A:D", "B:C", "B:D"}},
      {"Phase1-Phase3", {"Phase1", "Phase2", "Phase3"}}, {"Phase08 - Phase10", {"Phase8", "Phase9", "Phase10"}},
      {"Phase1-P2", {"Phase1", "Phase2"}}, {"Output1!!OutputPhase1,Out_2", {"Output1!!OutputPhase1", "Out_2"}}};
  for (const auto& [text, paths] : cases) EXPECT_EQ(Paths(text), paths) << text;
}

// A name twice is badly formed, also when a range repeats it.
TEST(ChannelSelectorTest, MalformedSelectors) {
  for (const char* text : {"A,A", "A1,A0-A2", "[A,B", "[", "A:[]", "A: :B", "A B", "A-", "A1-3"}) {
    EXPECT_EQ(ErrorOf(text), SelectorError::BadlyFormed) << text;
  }
  for (const char* text : {"A3-A1", "A1-B2", "A1-A99999999999999999999"}) {
    EXPECT_EQ(ErrorOf(text), SelectorError::InvalidRange) << text;
  }
  for (const char* text : {"A:B,C", "A,B:C"}) EXPECT_EQ(ErrorOf(text), SelectorError::InvalidLevels) << text;
  EXPECT_EQ(ErrorOf("A1-A2", false), SelectorError::BadlyFormed);
}

// A selector never makes more than kMaxNames names, however it is written.
TEST(ChannelSelectorTest, WorkIsBounded) {
  EXPECT_EQ(Paths("A1-A1024").size(), ChannelSelector::kMaxNames);
  EXPECT_EQ(ErrorOf("A1-A1025"), SelectorError::InvalidRange);
  EXPECT_EQ(ErrorOf("[A1-A40]:[B1-B40]"), SelectorError::BadlyFormed);
  std::string many;
  for (int i = 0; i < 1100; ++i) many += "N" + std::to_string(i) + ",";
  EXPECT_EQ(ErrorOf(many), SelectorError::BadlyFormed);
}

TEST(ChannelSelectorTest, AskingBeyondThePathsOrLevels) {
  ChannelSelector selector;
  ASSERT_EQ(selector.Parse("A:B", true), SelectorError::None);
  SelectorName name;
  EXPECT_EQ(selector.Name(1, 0, name), SelectorError::BadlyFormed);
  EXPECT_EQ(selector.Name(0, 2, name), SelectorError::InvalidLevels);
  // A text of separators only has one path without levels.
  ASSERT_EQ(selector.Parse(":", true), SelectorError::None);
  EXPECT_EQ(selector.Name(0, 0, name), SelectorError::InvalidLevels);
}

}  // namespace
}  // namespace hvzelta::capi
