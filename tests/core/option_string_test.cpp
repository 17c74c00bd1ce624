#include "core/option_string.h"

#include <gtest/gtest.h>

namespace hvzelta {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs PairsOf(std::string_view text) {
  Pairs out;
  for (const OptionPair& pair : ParseOptionPairs(text)) out.emplace_back(pair.name, pair.value);
  return out;
}

TEST(OptionPairs, TrimsNamesAndValuesAndSkipsWhatIsNotAPair) {
  EXPECT_EQ(PairsOf("Simulate=true, RangeCheck=false"), (Pairs{{"Simulate", "true"}, {"RangeCheck", "false"}}));
  EXPECT_EQ(PairsOf("  a = 1 ,junk,=x, y=, ,b=2"), (Pairs{{"a", "1"}, {"b", "2"}}));
  // A blank is a name too, which trims to nothing.
  EXPECT_EQ(PairsOf("a=1, =x"), (Pairs{{"a", "1"}, {"", "x"}}));
  EXPECT_EQ(PairsOf("no pairs at all"), Pairs{});
  EXPECT_EQ(PairsOf(""), Pairs{});
  // A value cannot hold '=': what follows starts the search again.
  EXPECT_EQ(PairsOf("a=b=c=d"), (Pairs{{"a", "b"}, {"c", "d"}}));
  EXPECT_EQ(PairsOf("a==b,c=,=d"), Pairs{});
  // A later value of the same name wins, in the first one's place.
  EXPECT_EQ(PairsOf("Cache=1, Simulate=0, CACHE=0"), (Pairs{{"Cache", "0"}, {"Simulate", "0"}}));
}

// DriverSetup runs to the end with its commas; blanks may stand before its '='.
TEST(DriverSetupSplit, DriverSetupRunsToTheEndAndNumPhasesTakesAnEqualsSign) {
  DriverSetupSplit split = SplitDriverSetup("Simulate=true, DriverSetup=Model:ZTA300, Trace=false");
  EXPECT_EQ(split.options, "Simulate=true, ");
  ASSERT_TRUE(split.driverSetup);
  EXPECT_EQ(*split.driverSetup, "Model:ZTA300, Trace=false");
  split = SplitDriverSetup("Simulate=1,driversetup \t = Model=ZTA200");
  ASSERT_TRUE(split.driverSetup);
  EXPECT_EQ(split.options, "Simulate=1,");
  EXPECT_EQ(*split.driverSetup, " Model=ZTA200");
  for (const char* none : {"DriverSetup x=1", "DriverSetup", "DriverSetupX=1", "Simulate=1"}) {
    EXPECT_FALSE(SplitDriverSetup(none).driverSetup) << none;
  }
  EXPECT_EQ(NormalizeDriverSetup("NumPhases:3, Model:ZTA100"), "NumPhases=3, Model:ZTA100");
}

TEST(OptionValues, BooleansAndLeadingIntegers) {
  for (const char* yes : {"true", "TRUE", "vi_true", "1"}) EXPECT_EQ(ParseOptionBoolean(yes), true) << yes;
  for (const char* no : {"false", "False", "VI_FALSE", "0"}) EXPECT_EQ(ParseOptionBoolean(no), false) << no;
  for (const char* neither : {"yes", "", "01", " 1"}) EXPECT_FALSE(ParseOptionBoolean(neither)) << neither;

  EXPECT_EQ(LeadingInteger("  42kB"), 42);
  EXPECT_EQ(LeadingInteger("-7"), -7);
  EXPECT_EQ(LeadingInteger("none"), 0);
  EXPECT_EQ(LeadingInteger("99999999999999999999999"), std::numeric_limits<long long>::max());
}

}  // namespace
}  // namespace hvzelta
