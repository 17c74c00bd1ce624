// The program message syntax and the header tree, in process.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "header_tree.h"
#include "program_message.h"

namespace zta_sim {
namespace {

std::vector<ProgramUnit> Units(std::string_view message, ScpiError* error = nullptr) {
  ProgramMessageParser parser(message);
  std::vector<ProgramUnit> units;
  ProgramUnit unit;
  while (parser.Next(unit)) units.push_back(unit);
  if (error != nullptr) *error = parser.error();
  return units;
}

TEST(ProgramMessageParser, ReadsEveryKindOfProgramData) {
  const auto units = Units("X -.5e-3,#H1F,#q17,#B101");
  ASSERT_EQ(units.size(), 1u);
  const auto& p = units[0].parameters;
  ASSERT_EQ(units[0].count, 4u);
  EXPECT_DOUBLE_EQ(p[0].number, -0.0005);
  EXPECT_EQ(std::tie(p[1].number, p[2].number, p[3].number), std::make_tuple(31.0, 15.0, 5.0));  // #H, #Q, #B

  const auto strings = Units(R"(X 'it''s',"a;b",#15hello,#0rest;of)");
  ASSERT_EQ(strings[0].count, 4u);
  const auto& q = strings[0].parameters;
  EXPECT_EQ(std::tie(q[0].kind, q[2].kind), std::make_tuple(ParameterKind::String, ParameterKind::Block));
  // The indefinite block runs to the end.
  EXPECT_EQ(std::tie(q[0].text, q[1].text, q[2].text, q[3].text), std::make_tuple("it''s", "a;b", "hello", "rest;of"));
  EXPECT_EQ(Units("VOLT 1e-999")[0].parameters[0].number, 0.0);
}

TEST(ProgramMessageParser, StopsAtAMalformedUnitWithTheStandardError) {
  const struct {
    std::string text;
    ScpiError error;
    std::size_t goodUnits;  // units read before the fault
  } cases[] = {
      {"VOLT:", ScpiError::SyntaxError, 0},
      {"*", ScpiError::SyntaxError, 0},
      {"VOLT 1;5", ScpiError::SyntaxError, 1},
      {"VOLT$", ScpiError::SyntaxError, 0},
      {"VOLT\xff", ScpiError::InvalidCharacter, 0},
      {"VOLT 1 2", ScpiError::InvalidSeparator, 0},
      {"VOLT 1,", ScpiError::SyntaxError, 0},
      {"VOLTAGEVOLTAGE 1", ScpiError::MnemonicTooLong, 0},
      {"A:B:C:D:E:F:G:H:I", ScpiError::UndefinedHeader, 0},
      {"VOLT +", ScpiError::NumericDataError, 0},
      {"VOLT 1e", ScpiError::InvalidCharacterInNumber, 0},
      {"VOLT 1e999", ScpiError::ExponentTooLarge, 0},
      {"VOLT #HFFFFFFFFFFFFFFFFF", ScpiError::TooManyDigits, 0},
      {"VOLT #Hz", ScpiError::InvalidCharacterInNumber, 0},
      {"VOLT ABCDEFGHIJKLM", ScpiError::CharacterDataTooLong, 0},
      {"VOLT 'open", ScpiError::InvalidStringData, 0},
      {"VOLT #25abc", ScpiError::InvalidBlockData, 0},
      {"VOLT 1,2,3,4,5", ScpiError::ParameterNotAllowed, 0},
  };
  for (const auto& c : cases) {
    ScpiError error = ScpiError::None;
    EXPECT_EQ(Units(c.text, &error).size(), c.goodUnits) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(HeaderTree, RefusesPatternsThatCollide) {
  HeaderTree tree;
  tree.Add("TRIGger:SOURce", 0);
  EXPECT_THROW(tree.Add("TRIGgered:LEVel", 1), std::logic_error);   // same short form
  EXPECT_THROW(tree.Add("TRIGger[:SOURce]", 2), std::logic_error);  // same spelling, other row
  EXPECT_THROW(tree.Add("VOLT[age", 3), std::logic_error);
  EXPECT_THROW(tree.Add("volt", 4), std::logic_error);  // no short form
}

}  // namespace
}  // namespace zta_sim
