#include "program_message.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace zta_sim {

namespace {

// IEEE 488.2 white space: every control character and the blank.
bool IsWhite(char c) { return static_cast<unsigned char>(c) <= 0x20; }
bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsMnemonicChar(char c) { return IsAlpha(c) || IsDigit(c) || c == '_'; }

int DigitValue(char c, int base) {
  int value = -1;
  if (IsDigit(c)) value = c - '0';
  else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  return value < base ? value : -1;
}

}  // namespace

bool ProgramMessageParser::Next(ProgramUnit& unit) {
  if (error_ != ScpiError::None) return false;
  SkipWhite();
  while (pos_ < text_.size() && text_[pos_] == ';') {
    ++pos_;
    SkipWhite();
  }
  if (pos_ >= text_.size()) return false;

  unit.header = Header{};
  unit.count = 0;
  if (!ParseHeader(unit.header)) return false;
  if (AtUnitEnd()) return true;
  if (!IsWhite(text_[pos_])) return Fail(UnexpectedHere());
  SkipWhite();
  while (!AtUnitEnd()) {
    if (unit.count == kMaxParameters) return Fail(ScpiError::ParameterNotAllowed);
    if (!ParseParameter(unit.parameters[unit.count])) return false;
    ++unit.count;
    SkipWhite();
    if (AtUnitEnd()) break;
    if (text_[pos_] != ',') return Fail(ScpiError::InvalidSeparator);
    ++pos_;
    SkipWhite();
    if (AtUnitEnd()) return Fail(ScpiError::SyntaxError);
  }
  return true;
}

bool ProgramMessageParser::ParseHeader(Header& header) {
  if (text_[pos_] == '*') {
    header.common = true;
    ++pos_;
    if (!ParseMnemonic(header)) return false;
  } else {
    if (text_[pos_] == ':') {
      header.absolute = true;
      ++pos_;
    }
    if (!ParseMnemonic(header)) return false;
    while (pos_ < text_.size() && text_[pos_] == ':') {
      ++pos_;
      if (!ParseMnemonic(header)) return false;
    }
  }
  if (pos_ < text_.size() && text_[pos_] == '?') {
    header.query = true;
    ++pos_;
  }
  return true;
}

bool ProgramMessageParser::ParseMnemonic(Header& header) {
  if (pos_ >= text_.size() || !IsAlpha(text_[pos_])) return Fail(UnexpectedHere());
  const std::size_t start = pos_;
  while (pos_ < text_.size() && IsMnemonicChar(text_[pos_])) ++pos_;
  std::string_view token = text_.substr(start, pos_ - start);
  std::size_t nameLength = token.size();
  while (IsDigit(token[nameLength - 1])) --nameLength;
  if (nameLength > kMaxMnemonicLength) return Fail(ScpiError::MnemonicTooLong);
  if (header.depth == kMaxHeaderDepth) return Fail(ScpiError::UndefinedHeader);

  Mnemonic& node = header.nodes[header.depth++];
  node.name = token.substr(0, nameLength);
  const std::string_view digits = token.substr(nameLength);
  if (!digits.empty()) {
    // Anything longer than three digits is out of every suffix range.
    node.suffix = 1000;
    if (digits.size() <= 3) std::from_chars(digits.data(), digits.data() + digits.size(), node.suffix);
  }
  return true;
}

bool ProgramMessageParser::ParseParameter(Parameter& parameter) {
  parameter = Parameter{};
  const char c = text_[pos_];
  if (IsDigit(c) || c == '+' || c == '-' || c == '.') return ParseDecimal(parameter);
  if (c == '#') return ParseHash(parameter);
  if (c == '\'' || c == '"') return ParseString(parameter);
  if (IsAlpha(c)) return ParseCharacter(parameter);
  return Fail(UnexpectedHere());
}

bool ProgramMessageParser::ParseDecimal(Parameter& parameter) {
  std::size_t start = pos_;
  const bool negative = text_[pos_] == '-';
  if (text_[pos_] == '+' || negative) ++pos_;
  std::size_t digits = CountDigits();
  if (pos_ < text_.size() && text_[pos_] == '.') {
    ++pos_;
    digits += CountDigits();
  }
  if (digits == 0) return Fail(ScpiError::NumericDataError);
  bool tinyExponent = false;
  if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
    ++pos_;
    if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
      tinyExponent = text_[pos_] == '-';
      ++pos_;
    }
    if (CountDigits() == 0) return Fail(ScpiError::InvalidCharacterInNumber);
  }
  // from_chars takes no '+'; the sign is put back afterwards.
  if (text_[start] == '+' || negative) ++start;
  double value = 0.0;
  const auto [end, ec] =
      std::from_chars(text_.data() + start, text_.data() + pos_, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    if (!tinyExponent) return Fail(ScpiError::ExponentTooLarge);
    value = 0.0;
  } else if (ec != std::errc() || end != text_.data() + pos_) {
    return Fail(ScpiError::NumericDataError);
  }
  parameter.kind = ParameterKind::Number;
  parameter.number = negative ? -value : value;

  // A unit may follow, with or without white space in between.
  const std::size_t afterNumber = pos_;
  SkipWhite();
  if (pos_ < text_.size() && IsAlpha(text_[pos_])) {
    const std::size_t unitStart = pos_;
    while (pos_ < text_.size() && IsAlpha(text_[pos_])) ++pos_;
    parameter.suffix = text_.substr(unitStart, pos_ - unitStart);
  } else {
    pos_ = afterNumber;
  }
  return true;
}

bool ProgramMessageParser::ParseHash(Parameter& parameter) {
  ++pos_;
  if (pos_ >= text_.size()) return Fail(ScpiError::SyntaxError);
  const char c = text_[pos_];
  int base = 0;
  if (c == 'H' || c == 'h') base = 16;
  else if (c == 'Q' || c == 'q') base = 8;
  else if (c == 'B' || c == 'b') base = 2;
  if (base != 0) {
    ++pos_;
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (int digit; pos_ < text_.size() && (digit = DigitValue(text_[pos_], base)) >= 0; ++pos_, ++digits) {
      if (value > (std::numeric_limits<std::uint64_t>::max() - static_cast<std::uint64_t>(digit)) /
                      static_cast<std::uint64_t>(base)) {
        return Fail(ScpiError::TooManyDigits);
      }
      value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    if (digits == 0) return Fail(ScpiError::InvalidCharacterInNumber);
    parameter.kind = ParameterKind::Number;
    parameter.number = static_cast<double>(value);
    return true;
  }
  if (!IsDigit(c)) return Fail(ScpiError::SyntaxError);

  parameter.kind = ParameterKind::Block;
  ++pos_;
  if (c == '0') {  // indefinite length: the block runs to the end of the message
    parameter.text = text_.substr(pos_);
    pos_ = text_.size();
    return true;
  }
  const std::size_t lengthDigits = static_cast<std::size_t>(c - '0');
  if (text_.size() - pos_ < lengthDigits) return Fail(ScpiError::InvalidBlockData);
  std::size_t length = 0;
  for (std::size_t i = 0; i < lengthDigits; ++i, ++pos_) {
    if (!IsDigit(text_[pos_])) return Fail(ScpiError::InvalidBlockData);
    length = length * 10 + static_cast<std::size_t>(text_[pos_] - '0');
  }
  if (text_.size() - pos_ < length) return Fail(ScpiError::InvalidBlockData);
  parameter.text = text_.substr(pos_, length);
  pos_ += length;
  return true;
}

bool ProgramMessageParser::ParseString(Parameter& parameter) {
  const char quote = text_[pos_++];
  const std::size_t start = pos_;
  while (pos_ < text_.size()) {
    if (text_[pos_] != quote) {
      ++pos_;
    } else if (pos_ + 1 < text_.size() && text_[pos_ + 1] == quote) {
      pos_ += 2;  // a doubled quote stands for one
    } else {
      parameter.kind = ParameterKind::String;
      parameter.text = text_.substr(start, pos_ - start);
      ++pos_;
      return true;
    }
  }
  return Fail(ScpiError::InvalidStringData);
}

bool ProgramMessageParser::ParseCharacter(Parameter& parameter) {
  const std::size_t start = pos_;
  while (pos_ < text_.size() && IsMnemonicChar(text_[pos_])) ++pos_;
  if (pos_ - start > kMaxMnemonicLength) return Fail(ScpiError::CharacterDataTooLong);
  parameter.kind = ParameterKind::Character;
  parameter.text = text_.substr(start, pos_ - start);
  return true;
}

bool ProgramMessageParser::Fail(ScpiError error) {
  error_ = error;
  pos_ = text_.size();
  return false;
}

// An ASCII character in the wrong place is a syntax error; bytes above
// ASCII are not allowed in a program message at all.
ScpiError ProgramMessageParser::UnexpectedHere() const {
  if (pos_ >= text_.size()) return ScpiError::SyntaxError;
  return static_cast<unsigned char>(text_[pos_]) < 0x7F ? ScpiError::SyntaxError
                                                         : ScpiError::InvalidCharacter;
}

void ProgramMessageParser::SkipWhite() {
  while (pos_ < text_.size() && IsWhite(text_[pos_])) ++pos_;
}

bool ProgramMessageParser::AtUnitEnd() const { return pos_ >= text_.size() || text_[pos_] == ';'; }

std::size_t ProgramMessageParser::CountDigits() {
  const std::size_t start = pos_;
  while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
  return pos_ - start;
}

}  // namespace zta_sim
