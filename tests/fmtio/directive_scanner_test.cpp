#include "fmtio/directive_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fmtio/format_cache.h"
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

TEST(DirectiveScannerTest, TableExamplesCutAsDocumented) {
  struct Case {
    Direction direction;
    const char* text;
    std::vector<std::pair<int, int>> tokens;  // kind, length
  };
  const Case cases[] = {
      {Direction::Write, "VOLT %0.15lg", {{0, 5}, {3, 7}}},
      {Direction::Write, "100%%", {{0, 3}, {0, 2}}},
      {Direction::Read, "%d,%$Ct", {{1, 2}, {0, 1}, {9, 4}}},
      {Direction::Write, "%,5d", {{2, 4}}},
      {Direction::Write, "%(;)3d", {{2, 6}}},
      {Direction::Write, "%{ CouplingMode }s", {{11, 18}}},
      {Direction::Write, "OUTP:COUP %{HalvornZeltaCouplingModeEnum}s", {{0, 10}, {11, 32}}},
      {Direction::Read, "%{VARIANT_BOOL}[^\n]", {{14, 19}}},
      {Direction::Read, "%#$Cs", {{10, 5}}},
      {Direction::Write, "%0\t.3d", {{1, 6}}},  // zero flags before a tab are a width
      {Direction::Read, "%(,;)#$Slf", {{4, 10}}},
      {Direction::Write, "%!oly", {{7, 5}}},
  };
  for (const Case& c : cases) {
    std::vector<Token> expected;
    std::uint32_t position = 0;
    for (auto [kind, length] : c.tokens) {
      expected.push_back({static_cast<std::uint8_t>(kind), position, static_cast<std::uint32_t>(length)});
      position += static_cast<std::uint32_t>(length);
    }
    bool ok = false;
    EXPECT_EQ(Describe(Tokens(c.direction, c.text, &ok)), Describe(expected)) << c.text;
    EXPECT_TRUE(ok) << c.text;
  }
  for (const char* bad : {"%(x)3d", "%k", "VOLT %", "%.d", "%@Xd", "%{}s", "%$Bc"}) {
    bool ok = true;
    Tokens(Direction::Write, bad, &ok);
    EXPECT_FALSE(ok) << bad;
  }
}

TEST(DirectiveScannerTest, DecodesTheDirectiveParts) {
  CutFormat cut;
  ASSERT_TRUE(CutFormatString(Direction::Write, "%{ CouplingMode }-*.*s%(s)*$Sd%-+ 012.4lf%@H5d", cut));
  const Directive& name = cut.directives[0];
  EXPECT_EQ(name.enumName, "CouplingMode");
  EXPECT_TRUE(name.minus);
  EXPECT_EQ(name.width.source, Amount::Source::Argument);
  EXPECT_EQ(name.precision.source, Amount::Source::Argument);
  const Directive& array = cut.directives[1];
  EXPECT_TRUE(array.isArray);
  EXPECT_EQ(array.separator, ' ');
  EXPECT_EQ(array.count.source, Amount::Source::Argument);
  EXPECT_TRUE(array.arrayObject);
  const Directive& real = cut.directives[2];
  EXPECT_TRUE(real.minus && real.plus && real.space && real.zero);
  EXPECT_EQ(real.width.value, 12);
  EXPECT_EQ(real.precision.value, 4);
  EXPECT_EQ(real.size, 'l');
  EXPECT_EQ(cut.directives[3].style, 'H');

  ASSERT_TRUE(CutFormatString(Direction::Read, "%*(,;n)#$Shd%{X}[^a-c\\t]", cut));
  const Directive& read = cut.directives[0];
  EXPECT_TRUE(read.suppress);
  EXPECT_EQ(read.count.source, Amount::Source::Pointer);
  EXPECT_TRUE(read.separators.test(',') && read.separators.test(';') && read.separators.test('\n'));
  EXPECT_FALSE(read.separators.test(' '));
  const Directive& set = cut.directives[1];
  EXPECT_FALSE(set.set.test('b'));
  EXPECT_FALSE(set.set.test('\t'));
  EXPECT_TRUE(set.set.test('d'));
}

TEST(DirectiveScannerTest, CacheSharesOneCutAcrossThreadsAndRefusesBadFormats) {
  const auto first = CachedCut(Direction::Write, "VOLT %0.15lg");
  ASSERT_NE(first, nullptr);
  std::shared_ptr<const CutFormat> fromThread;
  std::thread([&] { fromThread = CachedCut(Direction::Write, "VOLT %0.15lg"); }).join();
  EXPECT_EQ(fromThread, first);
  EXPECT_EQ(CachedCut(Direction::Write, "%k"), nullptr);
  // Directions have their own tables: "%T" reads but does not write.
  EXPECT_EQ(CachedCut(Direction::Write, "%T"), nullptr);
  EXPECT_NE(CachedCut(Direction::Read, "%T"), nullptr);
}

}  // namespace
}  // namespace hvzelta
