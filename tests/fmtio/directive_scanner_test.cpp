#include "fmtio/directive_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference_cutter.h"

namespace hvzelta {
namespace {

std::vector<Token> Tokens(Direction direction, const std::string& text, bool* ok = nullptr) {
  CutFormat cut;
  const bool cutOk = CutFormatString(direction, text, cut);
  if (ok) *ok = cutOk;
  return cutOk ? cut.tokens : std::vector<Token>{};
}

std::string Describe(const std::vector<Token>& tokens) {
  std::string out;
  for (const Token& t : tokens) out += "(" + std::to_string(t.kind) + "," + std::to_string(t.length) + ")";
  return out;
}

// Format strings near the language: directive parts in a plausible order
// with random omissions, repeats and stray characters.
std::string RandomFormat(std::mt19937& random) {
  static const std::vector<std::vector<std::string>> kParts = {
      {"", " ", "\t", "  ", " \t"},
      {"", "{Name}", "{ X_1 }", "{", "{}", "}"},
      {"", "-", "+", "0", " ", "00", "-0", "0 ", "*", "* ", "#"},
      {"", "@1", "@2", "@3", "@H", "@Q", "@B", "@X", "@1 ", "@H\t"},
      {"", "5", "0", "05", "*", "0*", "00*", "12 ", "0\t", "#", "# ", "3\t"},
      {"", ".3", ".*", ". ", ".", ".0\t", ".12 "},
      {"", ",", "(;)", "(s)", "(x)", "(,;)", "(nrst)", "()", "(", ", ", "(:) \t"},
      {"", "4", "*", "#", "10 ", "#\t"},
      {"", "!ob", "!ol", "!o", "!ol ", "$S", "$S ", "$", "$B", "$C", "$C\t", "$X"},
      {"", "q", "Q", "l", "h", "b", "I", "L", "z", "Z"},
      {"d", "i", "o", "u", "x", "f", "e", "E", "g", "G", "c", "s", "b", "B", "y", "T", "t", "[abc]", "[^\n]", "[^]",
       "[", "k", "%", "lf", "hd", "ld", "Ib", "]"},
  };
  std::string text;
  const int directives = 1 + static_cast<int>(random() % 2);
  for (int n = 0; n < directives; ++n) {
    if (random() % 3 == 0) text += random() % 2 ? "VOLT " : ",";
    text += "%";
    for (const auto& choices : kParts) {
      if (&choices != &kParts.back() && random() % 4 != 0) continue;
      text += choices[random() % choices.size()];
    }
    if (random() % 8 == 0) text.insert(random() % text.size(), 1, "% \t0*#,.k"[random() % 9]);
  }
  return text;
}

TEST(DirectiveScannerTest, AcceptsExactlyTheTablesLanguage) {
  for (const Direction direction : {Direction::Write, Direction::Read}) {
    const reference::ReferenceCutter& reference = reference::CutterFor(direction);
    std::mt19937 random(20240517);
    int accepted = 0;
    for (int n = 0; n < 20000; ++n) {
      const std::string text = RandomFormat(random);
      std::vector<Token> expected;
      const bool expectedOk = reference.Cut(text, expected);
      bool ok = false;
      const std::vector<Token> tokens = Tokens(direction, text, &ok);
      ASSERT_EQ(ok, expectedOk) << "format \"" << text << "\" direction " << static_cast<int>(direction);
      if (ok) {
        ++accepted;
        ASSERT_EQ(Describe(tokens), Describe(expected)) << "format \"" << text << "\"";
      }
    }
    // The generator must reach both sides of the language to prove anything.
    EXPECT_GT(accepted, 2000);
    EXPECT_LT(accepted, 17000);
  }
}

}  // namespace
}  // namespace hvzelta
