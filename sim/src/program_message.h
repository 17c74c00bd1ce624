#pragma once

// The syntax of one IEEE 488.2 program message: program units separated by
// ';', each a header (common "*XXX", or ':'-separated mnemonics with numeric
// suffixes, '?' for a query) followed by comma-separated parameters
// (decimal and #H/#Q/#B numbers with an optional unit, character data,
// quoted strings, definite and indefinite blocks). Nothing here knows the
// instrument's commands; the parser only cuts text and refers into it.

#include <array>
#include <cstddef>
#include <string_view>

#include "scpi_error.h"

namespace zta_sim {

inline constexpr std::size_t kMaxHeaderDepth = 8;
inline constexpr std::size_t kMaxParameters = 4;
inline constexpr std::size_t kMaxMnemonicLength = 12;

struct Mnemonic {
  std::string_view name;  // as written, numeric suffix removed
  int suffix = -1;        // -1 when none was written
};

struct Header {
  bool common = false;    // "*IDN?" and the other IEEE 488.2 commands
  bool absolute = false;  // written with a leading ':'
  bool query = false;
  std::size_t depth = 0;
  std::array<Mnemonic, kMaxHeaderDepth> nodes{};
};

enum class ParameterKind { Number, Character, String, Block };

struct Parameter {
  ParameterKind kind = ParameterKind::Number;
  std::string_view text;    // character data, string body or block body
  std::string_view suffix;  // unit written after a decimal number
  double number = 0.0;
};

struct ProgramUnit {
  Header header;
  std::size_t count = 0;
  std::array<Parameter, kMaxParameters> parameters{};
};

class ProgramMessageParser {
 public:
  explicit ProgramMessageParser(std::string_view message) : text_(message) {}

  // Reads the next program unit; empty units are skipped. Returns false at
  // the end of the message or when the unit is malformed; then error() says
  // why and the rest of the message is left unread.
  bool Next(ProgramUnit& unit);
  ScpiError error() const { return error_; }

 private:
  bool ParseHeader(Header& header);
  bool ParseMnemonic(Header& header);
  bool ParseParameter(Parameter& parameter);
  bool ParseDecimal(Parameter& parameter);
  bool ParseHash(Parameter& parameter);
  bool ParseString(Parameter& parameter);
  bool ParseCharacter(Parameter& parameter);
  bool Fail(ScpiError error);
  ScpiError UnexpectedHere() const;
  void SkipWhite();
  bool AtUnitEnd() const;
  std::size_t CountDigits();

  std::string_view text_;
  std::size_t pos_ = 0;
  ScpiError error_ = ScpiError::None;
};

}  // namespace zta_sim
