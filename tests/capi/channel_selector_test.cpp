// The selector grammar on its own: which texts give which paths, and which
// error each malformed text gives.

#include "capi/channel_selector.h"

#include <gtest/gtest.h>

#include <string>
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

TEST(ChannelSelectorTest, ListsBracketsAndRangesGivePathsInOrder) {
  EXPECT_EQ(Paths(""), Strings{""});
  EXPECT_EQ(Paths("Output1"), Strings{"Output1"});
  EXPECT_EQ(Paths(" A ,, B "), (Strings{"A", "B"}));
  EXPECT_EQ(Paths("A:B,C:D"), (Strings{"A:B", "C:D"}));
  EXPECT_EQ(Paths("A:[B,C]"), (Strings{"A:B", "A:C"}));
  EXPECT_EQ(Paths("[A,B]:[C,D]"), (Strings{"A:C", "A:D", "B:C", "B:D"}));
  EXPECT_EQ(Paths("Phase1-Phase3"), (Strings{"Phase1", "Phase2", "Phase3"}));
  EXPECT_EQ(Paths("Phase08 - Phase10"), (Strings{"Phase8", "Phase9", "Phase10"}));
  // The second name only has to start the first.
  EXPECT_EQ(Paths("Phase1-P2"), (Strings{"Phase1", "Phase2"}));
  EXPECT_EQ(Paths("Output1!!OutputPhase1,Out_2"), (Strings{"Output1!!OutputPhase1", "Out_2"}));
}

TEST(ChannelSelectorTest, MalformedSelectors) {
  EXPECT_EQ(ErrorOf("A,A"), SelectorError::BadlyFormed);
  EXPECT_EQ(ErrorOf("A1,A0-A2"), SelectorError::BadlyFormed);  // duplicate through a range
  EXPECT_EQ(ErrorOf("[A,B"), SelectorError::BadlyFormed);
  EXPECT_EQ(ErrorOf("["), SelectorError::BadlyFormed);
  EXPECT_EQ(ErrorOf("A:[]"), SelectorError::BadlyFormed);
  EXPECT_EQ(ErrorOf("A: :B"), SelectorError::BadlyFormed);
  EXPECT_EQ(ErrorOf("A B"), SelectorError::BadlyFormed);
  EXPECT_EQ(ErrorOf("A-"), SelectorError::BadlyFormed);
  EXPECT_EQ(ErrorOf("A1-3"), SelectorError::BadlyFormed);
  EXPECT_EQ(ErrorOf("A1-A2", false), SelectorError::BadlyFormed);
  EXPECT_EQ(ErrorOf("A3-A1"), SelectorError::InvalidRange);
  EXPECT_EQ(ErrorOf("A1-B2"), SelectorError::InvalidRange);
  EXPECT_EQ(ErrorOf("A1-A99999999999999999999"), SelectorError::InvalidRange);
  EXPECT_EQ(ErrorOf("A:B,C"), SelectorError::InvalidLevels);
  EXPECT_EQ(ErrorOf("A,B:C"), SelectorError::InvalidLevels);
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
