#pragma once

// The cut form of a format string: its tokens as the scanner found them, and
// each token decoded into what the engines need (flags, numbers, array part,
// enumeration name), so that running a cached format does no text work.

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

namespace hvzelta {

enum class Direction : std::uint8_t { Write, Read };

// Token kinds of the write table, in table order.
enum class WriteKind : std::uint8_t {
  Literal,
  Integer,
  IntegerArray,
  Real,
  RealArray,
  DefiniteBlock,
  IndefiniteBlock,
  RawElements,
  Character,
  String,
  StringArray,
  Enum,
  EnumArray,
};

// Token kinds of the read table, in table order.
enum class ReadKind : std::uint8_t {
  Literal,
  Integer,
  IntegerArray,
  Real,
  RealArray,
  Block,
  RawElements,
  Characters,
  Line,
  Rest,
  Word,
  CharacterSet,
  StringArray,
  EnumWord,
  EnumSet,
  EnumArray,
};

struct Token {
  std::uint8_t kind;
  std::uint32_t position;
  std::uint32_t length;
  friend bool operator==(const Token&, const Token&) = default;
};

// A number of a directive: absent, written in the format, taken from the
// next integer argument ("*"), or on read from a pointer argument that also
// receives the count actually read ("#").
struct Amount {
  enum class Source : std::uint8_t { None, Given, Argument, Pointer };
  Source source = Source::None;
  std::int32_t value = 0;
  bool Present() const { return source != Source::None; }
};

struct Directive {
  std::uint8_t kind = 0;  // WriteKind or ReadKind
  char conversion = 0;    // d i o u x f e E g G c s b B y T t, '[' for a set
  char size = 0;          // b h l I L z Z, 0 when none
  char style = 0;         // the letter after "@", 0 when none
  bool minus = false;
  bool plus = false;
  bool space = false;
  bool zero = false;
  bool suppress = false;     // read: "*" right after "%"
  bool arrayObject = false;  // "$S"
  char textType = 0;         // 'B' or 'C' for "$B" / "$C"
  char quote = 0;            // 'q' or 'Q'
  bool littleEndian = false; // "!ol"
  bool isArray = false;
  char separator = 0;                     // write: the separator written
  std::bitset<256> separators;            // read: every separator accepted
  Amount width;                           // read: the maximum
  Amount precision;
  Amount count;                           // arrays and blocks
  std::string enumName;
  std::bitset<256> set;                   // read sets, already complemented
  std::string literal;                    // literal tokens, "%%" as one "%"
};

struct CutFormat {
  Direction direction = Direction::Write;
  std::vector<Token> tokens;
  std::vector<Directive> directives;  // one per token
};

}  // namespace hvzelta
