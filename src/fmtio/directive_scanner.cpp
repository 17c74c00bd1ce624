#include "fmtio/directive_scanner.h"

#include <algorithm>
#include <limits>
#include <span>

namespace hvzelta {

namespace {

constexpr int kEnd = -1;

bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsOneOf(int c, std::string_view set) { return c != kEnd && set.find(static_cast<char>(c)) != set.npos; }
bool IsNameCharacter(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_';
}

// The separator letters of an array part and the characters they stand for.
char SeparatorCharacter(char letter) {
  switch (letter) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 's': return ' ';
    case 't': return '\t';
    default: return letter;
  }
}

// One attempt to match a group of table kinds at a "%". Each kind of the
// tables is a fixed sequence of optional parts, so a single forward pass
// decides it; the one place where a backtracking matcher would give back
// what a greedy part took (zero flags that turn into a width before blanks)
// is handled where it occurs.
class DirectiveMatcher {
 public:
  DirectiveMatcher(std::string_view text, std::size_t start, Directive& directive)
      : text_(text), i_(start + 1), d_(directive) {}

  std::size_t End() const { return i_; }

  bool WriteNumber();
  bool WriteBlock();
  bool WriteText();
  bool ReadNumber();
  bool ReadBlock();
  bool ReadText();
  bool ReadEnum();

 private:
  int Peek(std::size_t ahead = 0) const {
    return i_ + ahead < text_.size() ? static_cast<unsigned char>(text_[i_ + ahead]) : kEnd;
  }
  bool Eat(char c) {
    if (Peek() != static_cast<unsigned char>(c)) return false;
    ++i_;
    return true;
  }
  bool EatPair(char first, char second) {
    if (Peek() != first || Peek(1) != second) return false;
    i_ += 2;
    return true;
  }
  void Blanks() {
    while (Peek() == ' ' || Peek() == '\t') ++i_;
  }
  // Digits into a value that saturates instead of overflowing.
  std::int32_t Digits() {
    std::int64_t value = 0;
    while (IsDigit(Peek())) {
      value = value * 10 + (Peek() - '0');
      if (value > std::numeric_limits<std::int32_t>::max()) value = std::numeric_limits<std::int32_t>::max();
      ++i_;
    }
    return static_cast<std::int32_t>(value);
  }
  void Flags(std::size_t from, std::size_t to);
  bool Style();
  bool Precision();
  bool WriteAmount(Amount& amount);
  bool ReadAmount(Amount& amount);
  bool Separator(bool several);
  bool ArrayObject() {
    if (!EatPair('$', 'S')) return false;
    d_.arrayObject = true;
    Blanks();
    return true;
  }
  bool TextType() {
    if (Peek() != '$' || (Peek(1) != 'B' && Peek(1) != 'C')) return false;
    d_.textType = static_cast<char>(Peek(1));
    i_ += 2;
    Blanks();
    return true;
  }
  void Quote() {
    if (Peek() == 'q' || Peek() == 'Q') d_.quote = static_cast<char>(text_[i_++]);
  }
  bool ByteOrder();
  bool EnumName();
  bool CharacterSet();
  bool Conversion(std::string_view sizes, std::string_view conversions) {
    if (IsOneOf(Peek(), sizes) && IsOneOf(Peek(1), conversions)) {
      d_.size = static_cast<char>(Peek());
      d_.conversion = static_cast<char>(Peek(1));
      i_ += 2;
      return true;
    }
    if (!IsOneOf(Peek(), conversions)) return false;
    d_.conversion = static_cast<char>(text_[i_++]);
    return true;
  }
  template <class Kind>
  bool Is(Kind kind) {
    d_.kind = static_cast<std::uint8_t>(kind);
    return true;
  }

  std::string_view text_;
  std::size_t i_;
  Directive& d_;
};

void DirectiveMatcher::Flags(std::size_t from, std::size_t to) {
  d_.minus = d_.plus = d_.space = d_.zero = false;
  for (std::size_t k = from; k < to; ++k) {
    switch (text_[k]) {
      case '-': d_.minus = true; break;
      case '+': d_.plus = true; break;
      case ' ': d_.space = true; break;
      case '0': d_.zero = true; break;
      default: break;
    }
  }
}

bool DirectiveMatcher::Style() {
  if (Peek() != '@' || !IsOneOf(Peek(1), "123HQB")) return false;
  d_.style = static_cast<char>(Peek(1));
  i_ += 2;
  Blanks();
  return true;
}

bool DirectiveMatcher::Precision() {
  if (Peek() != '.' || !(IsDigit(Peek(1)) || Peek(1) == '*')) return false;
  ++i_;
  if (Eat('*')) {
    d_.precision.source = Amount::Source::Argument;
  } else {
    d_.precision = {Amount::Source::Given, Digits()};
  }
  Blanks();
  return true;
}

// "(\z|\*\b*)?": digits or "*", then blanks.
bool DirectiveMatcher::WriteAmount(Amount& amount) {
  if (IsDigit(Peek())) {
    amount = {Amount::Source::Given, Digits()};
  } else if (Eat('*')) {
    amount.source = Amount::Source::Argument;
  } else {
    return false;
  }
  Blanks();
  return true;
}

// "(\z|#\b*)?": digits or "#", then blanks.
bool DirectiveMatcher::ReadAmount(Amount& amount) {
  if (IsDigit(Peek())) {
    amount = {Amount::Source::Given, Digits()};
  } else if (Eat('#')) {
    amount.source = Amount::Source::Pointer;
  } else {
    return false;
  }
  Blanks();
  return true;
}

// "," or a parenthesised list of separator letters (one on write, one or more
// on read), then blanks.
bool DirectiveMatcher::Separator(bool several) {
  if (Eat(',')) {
    d_.separator = ',';
    d_.separators.set(',');
  } else if (Peek() == '(') {
    std::size_t k = 1;
    while (IsOneOf(Peek(k), ",;:strn") && (several || k == 1)) ++k;
    if (k == 1 || Peek(k) != ')') return false;
    d_.separator = SeparatorCharacter(text_[i_ + 1]);
    for (std::size_t j = 1; j < k; ++j) d_.separators.set(static_cast<unsigned char>(SeparatorCharacter(text_[i_ + j])));
    i_ += k + 1;
  } else {
    return false;
  }
  d_.isArray = true;
  Blanks();
  return true;
}

bool DirectiveMatcher::ByteOrder() {
  if (Peek() != '!' || Peek(1) != 'o' || (Peek(2) != 'b' && Peek(2) != 'l')) return false;
  d_.littleEndian = Peek(2) == 'l';
  i_ += 3;
  Blanks();
  return true;
}

bool DirectiveMatcher::EnumName() {
  if (!Eat('{')) return false;
  Blanks();
  const std::size_t start = i_;
  while (IsNameCharacter(Peek())) ++i_;
  if (i_ == start) return false;
  d_.enumName.assign(text_.substr(start, i_ - start));
  Blanks();
  if (!Eat('}')) return false;
  Blanks();
  return true;
}

// "[", an optional "^", anything but "]", then "]". Inside, "\n", "\r", "\t"
// and "\\" stand for the control characters and "a-z" for a range.
bool DirectiveMatcher::CharacterSet() {
  if (!Eat('[')) return false;
  const bool complement = Eat('^');
  const std::size_t start = i_;
  while (Peek() != kEnd && Peek() != ']') ++i_;
  if (!Eat(']')) return false;
  const std::string_view body = text_.substr(start, i_ - 1 - start);
  std::string members;
  for (std::size_t k = 0; k < body.size(); ++k) {
    char c = body[k];
    if (c == '\\' && k + 1 < body.size() && IsOneOf(static_cast<unsigned char>(body[k + 1]), "nrt\\")) {
      c = SeparatorCharacter(body[++k]);
    }
    members += c;
  }
  for (std::size_t k = 0; k < members.size(); ++k) {
    const auto low = static_cast<unsigned char>(members[k]);
    if (k + 2 < members.size() && members[k + 1] == '-' && static_cast<unsigned char>(members[k + 2]) >= low) {
      for (unsigned c = low; c <= static_cast<unsigned char>(members[k + 2]); ++c) d_.set.set(c);
      k += 2;
    } else {
      d_.set.set(low);
    }
  }
  if (complement) d_.set.flip();
  d_.conversion = '[';
  return true;
}

// "%\b*[-+0 ]*" then style, width, precision, and either a conversion or an
// array part followed by one.
bool DirectiveMatcher::WriteNumber() {
  // Spaces between the "%" and the flags are the space flag, as in C.
  const std::size_t afterPercent = i_;
  Blanks();
  const std::size_t flagsStart = i_;
  while (IsOneOf(Peek(), "-+0 ")) ++i_;
  const std::size_t flagsEnd = i_;
  Flags(afterPercent, flagsEnd);
  std::size_t zeroRun = flagsEnd;
  while (zeroRun > flagsStart && text_[zeroRun - 1] == ' ') --zeroRun;
  const std::size_t spacesFrom = zeroRun;
  while (zeroRun > flagsStart && text_[zeroRun - 1] == '0') --zeroRun;
  if (Peek() == '\t' && zeroRun < spacesFrom) {
    // Nothing may follow the flags with a tab, but the zeros that end them may
    // be a width, which blanks can follow: the zeros are a width of 0.
    Flags(afterPercent, zeroRun);
    d_.width = {Amount::Source::Given, 0};
    Blanks();
  } else {
    Style();
    if (IsDigit(Peek())) {
      const std::size_t start = i_;
      const std::int32_t value = Digits();
      if (text_.find_first_not_of('0', start) >= i_ && Eat('*')) {
        d_.zero = true;
        d_.width.source = Amount::Source::Argument;
      } else {
        d_.width = {Amount::Source::Given, value};
      }
      Blanks();
    } else if (Eat('*')) {
      d_.width.source = Amount::Source::Argument;
      Blanks();
    }
  }
  Precision();
  if (Conversion("lhbI", "dioux")) return Is(WriteKind::Integer);
  if (Conversion("lL", "feEgG")) return Is(WriteKind::Real);
  if (!Separator(false)) return false;
  WriteAmount(d_.count);
  ArrayObject();
  if (Conversion("lhbI", "dioux")) return Is(WriteKind::IntegerArray);
  if (Conversion("lL", "feEgG")) return Is(WriteKind::RealArray);
  return false;
}

bool DirectiveMatcher::WriteBlock() {
  Blanks();
  WriteAmount(d_.count);
  const bool ordered = ByteOrder();
  ArrayObject();
  if (!ordered && Conversion("hlzZI", "b")) return Is(WriteKind::DefiniteBlock);
  if (!ordered && Conversion("hlzZI", "B")) return Is(WriteKind::IndefiniteBlock);
  if (Conversion("hlI", "y")) return Is(WriteKind::RawElements);
  return false;
}

bool DirectiveMatcher::WriteText() {
  Blanks();
  const bool enumeration = Peek() == '{';
  if (enumeration && !EnumName()) return false;
  d_.minus = Eat('-');
  Blanks();
  WriteAmount(d_.width);
  Precision();
  if (!enumeration && Eat('c')) {
    d_.conversion = 'c';
    return Is(WriteKind::Character);
  }
  const bool array = Separator(false);
  if (array) {
    WriteAmount(d_.count);
    ArrayObject();
  }
  if (!enumeration) TextType();
  Quote();
  if (!Eat('s')) return false;
  d_.conversion = 's';
  if (enumeration) return Is(array ? WriteKind::EnumArray : WriteKind::Enum);
  return Is(array ? WriteKind::StringArray : WriteKind::String);
}

bool DirectiveMatcher::ReadNumber() {
  Blanks();
  if (Eat('*')) d_.suppress = true, Blanks();
  Style();
  ReadAmount(d_.width);
  if (Conversion("lhbI", "dioux")) return Is(ReadKind::Integer);
  if (Conversion("lL", "feEgG")) return Is(ReadKind::Real);
  if (!Separator(true)) return false;
  ReadAmount(d_.count);
  ArrayObject();
  if (Conversion("lhbI", "dioux")) return Is(ReadKind::IntegerArray);
  if (Conversion("lL", "feEgG")) return Is(ReadKind::RealArray);
  return false;
}

bool DirectiveMatcher::ReadBlock() {
  Blanks();
  if (Eat('*')) d_.suppress = true, Blanks();
  ReadAmount(d_.count);
  const bool ordered = ByteOrder();
  ArrayObject();
  if (!ordered && Conversion("hlzZI", "b")) return Is(ReadKind::Block);
  if (Conversion("hlI", "y")) return Is(ReadKind::RawElements);
  return false;
}

bool DirectiveMatcher::ReadText() {
  Blanks();
  if (Eat('*')) d_.suppress = true, Blanks();
  ReadAmount(d_.width);
  if (Eat('c')) {
    d_.conversion = 'c';
    return Is(ReadKind::Characters);
  }
  if (Separator(true)) {
    ReadAmount(d_.count);
    ArrayObject();
    TextType();
    Quote();
    if (!Eat('s')) return false;
    d_.conversion = 's';
    return Is(ReadKind::StringArray);
  }
  TextType();
  if (Peek() == '[') return CharacterSet() && Is(ReadKind::CharacterSet);
  const int c = Peek();
  if (c != 'T' && c != 't' && c != 's') return false;
  d_.conversion = static_cast<char>(c);
  ++i_;
  return Is(c == 'T' ? ReadKind::Line : c == 't' ? ReadKind::Rest : ReadKind::Word);
}

bool DirectiveMatcher::ReadEnum() {
  Blanks();
  if (!EnumName()) return false;
  if (Eat('*')) d_.suppress = true, Blanks();
  ReadAmount(d_.width);
  if (Peek() == '[') return CharacterSet() && Is(ReadKind::EnumSet);
  const bool array = Separator(true);
  if (array) {
    ReadAmount(d_.count);
    ArrayObject();
  }
  Quote();
  if (!Eat('s')) return false;
  d_.conversion = 's';
  return Is(array ? ReadKind::EnumArray : ReadKind::EnumWord);
}

using MatchStep = bool (DirectiveMatcher::*)();
constexpr MatchStep kWriteGroups[] = {&DirectiveMatcher::WriteNumber, &DirectiveMatcher::WriteBlock,
                                      &DirectiveMatcher::WriteText};
constexpr MatchStep kReadGroups[] = {&DirectiveMatcher::ReadNumber, &DirectiveMatcher::ReadBlock,
                                     &DirectiveMatcher::ReadText, &DirectiveMatcher::ReadEnum};

// The token at `position`: its end, or 0 when nothing matches.
std::size_t MatchAt(Direction direction, std::string_view text, std::size_t position, Directive& directive) {
  if (text[position] != '%') {
    const std::size_t end = std::min(text.find('%', position), text.size());
    directive.literal.assign(text.substr(position, end - position));
    return end;
  }
  if (position + 1 < text.size() && text[position + 1] == '%') {
    directive.literal = "%";
    return position + 2;
  }
  // Groups are tried in table order; kinds within a group differ in their
  // endings, so the first group that matches gives the kind of the table.
  const std::span<const MatchStep> groups =
      direction == Direction::Write ? std::span<const MatchStep>(kWriteGroups) : std::span<const MatchStep>(kReadGroups);
  for (MatchStep step : groups) {
    directive = Directive{};
    DirectiveMatcher matcher(text, position, directive);
    if ((matcher.*step)()) return matcher.End();
  }
  return 0;
}

}  // namespace

bool CutFormatString(Direction direction, std::string_view format, CutFormat& cut) {
  cut.direction = direction;
  cut.tokens.clear();
  cut.directives.clear();
  std::size_t position = 0;
  while (position < format.size()) {
    Directive directive;
    const std::size_t end = MatchAt(direction, format, position, directive);
    if (end <= position) return false;
    cut.tokens.push_back({directive.kind, static_cast<std::uint32_t>(position),
                          static_cast<std::uint32_t>(end - position)});
    cut.directives.push_back(std::move(directive));
    position = end;
  }
  return true;
}

}  // namespace hvzelta
