#include "fmtio/format_reader.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/error_reporter.h"
#include "fmtio/array_elements.h"
#include "fmtio/enum_formatter.h"
#include "fmtio/format_cache.h"
#include "fmtio/io_buffer.h"
#include "fmtio/io_error.h"
#include "hvzelta/status.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

// Longest number text taken from a response; anything longer is no number.
constexpr std::size_t kMaxNumberText = 512;
// Where no table gives a word's greatest length, a word is cut here.
constexpr std::size_t kMaxEnumWord = 256;
// Binary data of unknown total size is stored in steps of this size, so the
// memory held follows what arrived, never what a header claims.
constexpr std::size_t kBinaryStep = std::size_t{1} << 20;
constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

bool IsSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The response as the engine sees it: the unread bytes of the buffer's
// current fill, consumed in place and handed back in one step.
class Response {
 public:
  explicit Response(IIoBuffer& buffer) : buffer_(buffer) {}

  // The next byte without consuming it; false at the end of the response or
  // on a failure of the buffer (then Error() tells it).
  bool Peek(std::uint8_t& c) {
    if (taken_ < size_) {
      c = data_[taken_];
      return true;
    }
    return Refill() && (c = data_[taken_], true);
  }
  void Take() { ++taken_; }
  // The bytes of the current fill not yet consumed, without reading more.
  std::string_view Unread() const {
    return {reinterpret_cast<const char*>(data_) + taken_, static_cast<std::size_t>(size_ - taken_)};
  }
  void Skip(std::size_t count) { taken_ += static_cast<std::int32_t>(count); }
  bool FillEndsMessage() const { return fillEndsMessage_; }
  HRESULT Error() const { return Failed(status_) ? status_ : S_OK; }
  bool Ended() const { return taken_ == size_ && status_ != S_MORE_DATA_AVAILABLE; }

  // Hands the consumed bytes back; the status says whether the response has
  // ended (S_OK) or continues.
  HRESULT Commit() {
    if (taken_ > 0 && Succeeded(status_)) status_ = buffer_.SkipUnread(raw_, taken_);
    data_ = nullptr;
    size_ = taken_ = 0;
    return status_;
  }
  // Raw bytes include a read terminator; binary headers are read that way so
  // that a terminator byte among them cannot end the response early.
  void SetRaw(bool raw) {
    Commit();
    raw_ = raw;
  }
  // After a read that went around this view (ReadDirect).
  void Reset(HRESULT status) {
    Commit();
    status_ = status;
  }
  // The first access of a call looks at the content, so that a terminator
  // left over from the last response (behind binary data) makes the buffer
  // fill instead of passing for data. False when the response is empty.
  bool Begin() {
    if (started_) return true;
    started_ = true;
    const std::uint8_t* data = nullptr;
    std::int32_t count = 0;
    const HRESULT hr = buffer_.PeekUnread(false, &data, &count);
    if (Failed(hr) || (count == 0 && hr == S_OK)) {
      status_ = hr;
      return false;
    }
    return true;
  }
  IIoBuffer& Buffer() { return buffer_; }

 private:
  bool Refill() {
    if (Commit() != S_MORE_DATA_AVAILABLE || !Begin()) return false;
    std::int32_t count = 0;
    const HRESULT hr = buffer_.PeekUnread(raw_, &data_, &count);
    size_ = Failed(hr) ? 0 : std::max(count, 0);
    fillEndsMessage_ = hr == S_OK;
    // With nothing shown the response has ended (S_OK) or the device gave
    // nothing this time; either way the directive sees no more bytes.
    if (size_ == 0) status_ = hr;
    return size_ > 0;
  }

  IIoBuffer& buffer_;
  const std::uint8_t* data_ = nullptr;
  std::int32_t size_ = 0;
  std::int32_t taken_ = 0;
  HRESULT status_ = S_MORE_DATA_AVAILABLE;
  bool raw_ = false;
  bool started_ = false;
  bool fillEndsMessage_ = false;
};

bool IsDestination(const FormatArg* arg, ElementType type) {
  return arg && arg->kind == ArgKind::Destination && arg->element == type;
}

// Where a byte block goes: the caller's elements, a growing store for a new
// array object, or nowhere.
struct BinarySink {
  std::uint8_t* fixed = nullptr;  // caller's storage
  std::vector<std::uint8_t>* growing = nullptr;
  std::size_t capacity = 0;       // bytes that may be stored
};

class FormatReader {
 public:
  FormatReader(IIoBuffer& buffer, IEnumFormatter* enums, IErrorReporter* reporter, FormatArgs& args)
      : in_(buffer), enums_(enums), reporter_(reporter), args_(args) {}

  HRESULT Run(const CutFormat& cut) {
    HRESULT status = S_MORE_DATA_AVAILABLE;
    for (const Directive& d : cut.directives) {
      const HRESULT hr = Token(d);
      status = in_.Commit();
      if (Failed(hr)) return hr;
      if (status != S_MORE_DATA_AVAILABLE) break;
    }
    return status;
  }

  HRESULT SessionBlock(BlockHeaderSearch search, SAFEARRAY** bytes);

 private:
  HRESULT Token(const Directive& d);
  HRESULT Literal(std::string_view text);
  void SkipSpace() {
    std::uint8_t c;
    while (in_.Peek(c) && IsSpace(c)) in_.Take();
  }

  // Element readers: S_OK with a value, S_FALSE when the response ended
  // before the element began, or a failure.
  HRESULT ScanInteger(const Directive& d, std::int64_t& value);
  HRESULT ScanReal(const Directive& d, double& value);
  HRESULT CheckSingle(const Directive& d, double value);
  HRESULT ScanText(const Directive& d, std::size_t maximum, std::string& text);
  HRESULT ScanEnum(const Directive& d, std::size_t maximum, std::int32_t& value);
  HRESULT Element(const Directive& d, std::size_t maximum, std::int64_t& integer, double& real, std::string& text);

  HRESULT Overflow(double value, const char* target);
  HRESULT Maximum(const Amount& amount, std::int32_t*& backPointer, std::size_t& maximum);
  HRESULT Scalar(const Directive& d);
  HRESULT Characters(const Directive& d);
  HRESULT Text(const Directive& d);
  HRESULT Array(const Directive& d);
  HRESULT Binary(const Directive& d);
  HRESULT ReadBinaryData(std::size_t bytes, BinarySink sink, std::size_t& stored);
  HRESULT BlockLength(std::size_t& bytes);

  Response in_;
  IEnumFormatter* enums_;
  IErrorReporter* reporter_;
  FormatArgs& args_;
};

HRESULT FormatReader::Literal(std::string_view text) {
  for (std::size_t k = 0; k < text.size();) {
    if (IsSpace(static_cast<unsigned char>(text[k]))) {
      // A run of white space in the format matches any run in the response.
      while (k < text.size() && IsSpace(static_cast<unsigned char>(text[k]))) ++k;
      SkipSpace();
      continue;
    }
    std::uint8_t c;
    if (!in_.Peek(c)) return in_.Error();
    if (c != static_cast<std::uint8_t>(text[k])) return E_UNEXPECTED;
    in_.Take();
    ++k;
  }
  return in_.Error();
}

HRESULT FormatReader::Overflow(double value, const char* target) {
  char sentence[160];
  std::snprintf(sentence, sizeof sentence, "Overflow or underflow reading value of '%e' into a %s.", value, target);
  return ReportIoError(reporter_, sentence);
}

HRESULT FormatReader::ScanInteger(const Directive& d, std::int64_t& value) {
  SkipSpace();
  std::uint8_t c;
  if (!in_.Peek(c)) return Failed(in_.Error()) ? in_.Error() : S_FALSE;
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    in_.Take();
  }
  int base = d.conversion == 'x' ? 16 : d.conversion == 'o' ? 8 : 10;
  bool digits = false;
  if (in_.Peek(c) && c == '#' && (d.style == 'H' || d.style == 'Q' || d.style == 'B')) {
    in_.Take();
    if (!in_.Peek(c) || c != static_cast<std::uint8_t>(d.style)) return Failed(in_.Error()) ? in_.Error() : E_UNEXPECTED;
    in_.Take();
    base = d.style == 'H' ? 16 : d.style == 'Q' ? 8 : 2;
  } else if (base == 16 && in_.Peek(c) && c == '0') {
    in_.Take();
    digits = true;
    if (in_.Peek(c) && (c == 'x' || c == 'X')) in_.Take(), digits = false;
  }
  std::uint64_t magnitude = 0;
  double approximate = 0;
  bool wrapped = false;
  while (in_.Peek(c)) {
    int digit = 99;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit >= base) break;
    in_.Take();
    digits = true;
    approximate = approximate * base + digit;
    if (magnitude > (UINT64_MAX - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base)) wrapped = true;
    magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
  }
  if (Failed(in_.Error())) return in_.Error();
  if (!digits) return E_UNEXPECTED;
  const double signedValue = negative ? -approximate : approximate;
  // One range per target, whatever the conversion: "%x" and "%u" read into
  // the same signed targets as "%d", so FFFF does not fit a short.
  struct Range {
    double low, high;
    const char* name;
  };
  static constexpr Range kRanges[] = {
      {0, 255, "BYTE"},
      {-32768, 32767, "short"},
      {-2147483648.0, 2147483647.0, "long"},
      {-9223372036854775808.0, 9223372036854775807.0, "64-bit integer"},
  };
  const Range& range = kRanges[d.size == 'b' ? 0 : d.size == 'h' ? 1 : d.size == 'I' ? 3 : 2];
  if (wrapped || signedValue < range.low || signedValue > range.high) return Overflow(signedValue, range.name);
  value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return S_OK;
}

// The characters a floating-point number may consist of: a sign at the start
// or right after the exponent letter, a point at the start or among the
// integer digits, an exponent letter after integer or fraction digits.
class RealSyntax {
 public:
  bool Accept(char c) {
    State next;
    if (c >= '0' && c <= '9') {
      next = state_ == Start || state_ == Signed               ? Integer
             : state_ == ExponentStart || state_ == ExponentSigned ? Exponent
                                                                  : state_;
    } else if ((c == '+' || c == '-') && (state_ == Start || state_ == ExponentStart)) {
      next = state_ == Start ? Signed : ExponentSigned;
    } else if (c == '.' && (state_ == Start || state_ == Signed || state_ == Integer)) {
      next = Fraction;
    } else if ((c == 'e' || c == 'E') && (state_ == Integer || state_ == Fraction)) {
      next = ExponentStart;
    } else {
      return false;
    }
    state_ = next;
    return true;
  }

 private:
  enum State { Start, Signed, Integer, Fraction, ExponentStart, ExponentSigned, Exponent };
  State state_ = Start;
};

HRESULT FormatReader::ScanReal(const Directive& d, double& value) {
  SkipSpace();
  RealSyntax syntax;
  char copy[kMaxNumberText + 1];
  // Most numbers lie inside the current fill and convert where they are: the
  // conversion's own end is the number's end unless a character follows that
  // the syntax above would still take (a dangling exponent, say).
  const std::string_view unread = in_.Unread();
  if (!unread.empty() && ((unread[0] >= '0' && unread[0] <= '9') || unread[0] == '-' || unread[0] == '.')) {
    const char* last = unread.data() + unread.size();
    const auto [end, error] = std::from_chars(unread.data(), last, value);
    // At the end of the fill the number may go on in the next one, unless
    // the device ended its message there.
    const char after = end < last ? *end : in_.FillEndsMessage() ? ' ' : 'e';
    const char lead = unread[0] == '-' && unread.size() > 1 ? unread[1] : unread[0];
    const bool syntaxWouldGoOn = after == 'e' || after == 'E' || after == '+' || after == '-' || after == '.';
    if (error == std::errc() && end > unread.data() && !syntaxWouldGoOn && (lead == '.' || (lead >= '0' && lead <= '9'))) {
      in_.Skip(static_cast<std::size_t>(end - unread.data()));
      return CheckSingle(d, value);
    }
  }
  std::size_t length = 0;
  std::uint8_t c;
  while (in_.Peek(c) && syntax.Accept(static_cast<char>(c))) {
    if (length == kMaxNumberText) return E_UNEXPECTED;
    copy[length++] = static_cast<char>(c);
    in_.Take();
  }
  if (Failed(in_.Error())) return in_.Error();
  copy[length] = '\0';
  const std::string_view text(copy, length);
  if (length == 0) return in_.Ended() ? S_FALSE : E_UNEXPECTED;
  const char* first = text[0] == '+' ? text.data() + 1 : text.data();
  const char* last = text.data() + text.size();
  auto [end, error] = std::from_chars(first, last, value);
  if (end == first) return E_UNEXPECTED;
  // Beyond the double range the C conversion's infinity or zero is wanted.
  if (error == std::errc::result_out_of_range) value = std::strtod(copy, nullptr);
  return CheckSingle(d, value);
}

// A single-precision target takes neither more than its largest magnitude
// nor a magnitude below its smallest normal one that a double still holds.
HRESULT FormatReader::CheckSingle(const Directive& d, double value) {
  if (d.size == 'l' || d.size == 'L') return S_OK;
  const double magnitude = std::fabs(value);
  if (magnitude > 3.4028234663852886e38 ||
      (magnitude > 2.2250738585072014e-308 && magnitude < 1.1754943508222875e-38)) {
    return Overflow(value, "single-precision float");
  }
  return S_OK;
}

// A word (also quoted), a line, the rest of the response or the characters
// of a set, at most `maximum` of them; what the directive drops beyond that
// is read and dropped. Array elements also end at a separator.
HRESULT FormatReader::ScanText(const Directive& d, std::size_t maximum, std::string& text) {
  text.clear();
  std::uint8_t c;
  const bool word = d.conversion == 's';
  if (word) SkipSpace();
  if (!in_.Peek(c)) return Failed(in_.Error()) ? in_.Error() : S_FALSE;
  if (word && d.quote && (c == '"' || c == '\'')) {
    const std::uint8_t close = c;
    in_.Take();
    std::string inner;
    while (in_.Peek(c) && c != close) {
      if (inner.size() < maximum) inner += static_cast<char>(c);
      in_.Take();
    }
    const bool closed = in_.Peek(c);
    if (closed) in_.Take();
    if (d.quote == 'q') {
      text.assign(1, static_cast<char>(close)).append(inner);
      if (closed) text += static_cast<char>(close);
    } else {
      text = std::move(inner);
    }
    return in_.Error();
  }
  while (in_.Peek(c)) {
    bool keep = !d.separators.test(c);
    switch (d.conversion) {
      case 's': keep = keep && !IsSpace(c); break;
      case '[': keep = keep && d.set.test(c); break;
      default: break;
    }
    if (!keep) break;
    if (text.size() >= maximum) {
      // Characters outside a set's maximum stay for the next directive.
      if (d.conversion == '[') break;
    } else {
      text += static_cast<char>(c);
    }
    in_.Take();
    if (d.conversion == 'T' && c == '\n') break;
  }
  return in_.Error();
}

HRESULT FormatReader::ScanEnum(const Directive& d, std::size_t maximum, std::int32_t& value) {
  std::string word;
  const HRESULT hr = ScanText(d, maximum, word);
  if (hr != S_OK) return hr;
  if (!enums_) return E_INVALIDARG;
  return enums_->ParseEnum(d.enumName, word, value);
}

HRESULT FormatReader::Element(const Directive& d, std::size_t maximum, std::int64_t& integer, double& real,
                              std::string& text) {
  switch (static_cast<ReadKind>(d.kind)) {
    case ReadKind::Integer:
    case ReadKind::IntegerArray: return ScanInteger(d, integer);
    case ReadKind::Real:
    case ReadKind::RealArray: return ScanReal(d, real);
    case ReadKind::EnumWord:
    case ReadKind::EnumSet:
    case ReadKind::EnumArray: {
      std::int32_t value = 0;
      const HRESULT hr = ScanEnum(d, maximum, value);
      integer = value;
      return hr;
    }
    default: return ScanText(d, maximum, text);
  }
}

// The maximum of a width or count: written in the directive, or read from a
// pointer argument ("#") that later receives the count actually read.
HRESULT FormatReader::Maximum(const Amount& amount, std::int32_t*& backPointer, std::size_t& maximum) {
  backPointer = nullptr;
  maximum = kUnlimited;
  if (amount.source == Amount::Source::Given) maximum = static_cast<std::size_t>(amount.value);
  if (amount.source == Amount::Source::Pointer) {
    const FormatArg* arg = args_.Next();
    if (!IsDestination(arg, ElementType::Int32)) return E_INVALIDARG;
    backPointer = static_cast<std::int32_t*>(arg->destination);
    maximum = static_cast<std::size_t>(std::max(*backPointer, 0));
  }
  return S_OK;
}

std::size_t EnumMaximum(IEnumFormatter* enums, const Directive& d, std::size_t width) {
  std::size_t maximum = width;
  if (maximum == kUnlimited) {
    const std::int32_t longest = enums ? enums->GetMaxEnumLength(d.enumName) : 0;
    maximum = longest > 0 ? static_cast<std::size_t>(longest) : kMaxEnumWord;
  }
  // Quotes do not count against the word's length.
  return d.quote ? maximum + 2 : maximum;
}

// Integers, reals and enumerations read into one destination.
HRESULT FormatReader::Scalar(const Directive& d) {
  std::int32_t* backPointer = nullptr;
  std::size_t width = kUnlimited;
  HRESULT hr = Maximum(d.width, backPointer, width);
  if (Failed(hr)) return hr;
  const auto kind = static_cast<ReadKind>(d.kind);
  const bool enumeration = kind == ReadKind::EnumWord || kind == ReadKind::EnumSet;
  ElementType wanted = IntegerElement(d.size);
  if (kind == ReadKind::Real) wanted = d.size ? ElementType::Double : ElementType::Float;
  if (enumeration) wanted = d.enumName == kBooleanEnumName ? ElementType::Int16 : ElementType::Int32;
  const FormatArg* arg = nullptr;
  if (!d.suppress) {
    arg = args_.Next();
    if (!IsDestination(arg, wanted) || arg->extent == 0) return E_INVALIDARG;
  }
  std::int64_t integer = 0;
  double real = 0;
  std::string text;
  hr = Element(d, enumeration ? EnumMaximum(enums_, d, width) : width, integer, real, text);
  if (hr != S_OK) return hr == S_FALSE ? S_OK : hr;
  if (backPointer) *backPointer = 1;
  if (!arg) return S_OK;
  switch (wanted) {
    case ElementType::Int8: *static_cast<std::uint8_t*>(arg->destination) = static_cast<std::uint8_t>(integer); break;
    case ElementType::Int16: *static_cast<std::int16_t*>(arg->destination) = static_cast<std::int16_t>(integer); break;
    case ElementType::Int32: *static_cast<std::int32_t*>(arg->destination) = static_cast<std::int32_t>(integer); break;
    case ElementType::Int64: *static_cast<std::int64_t*>(arg->destination) = integer; break;
    case ElementType::Float: *static_cast<float*>(arg->destination) = static_cast<float>(real); break;
    default: *static_cast<double*>(arg->destination) = real; break;
  }
  return S_OK;
}

HRESULT FormatReader::Characters(const Directive& d) {
  std::int32_t* backPointer = nullptr;
  std::size_t count = 1;
  HRESULT hr = Maximum(d.width, backPointer, count);
  if (Failed(hr)) return hr;
  if (count == kUnlimited) count = 1;
  char* destination = nullptr;
  if (!d.suppress) {
    const FormatArg* arg = args_.Next();
    if (!IsDestination(arg, ElementType::Int8) || (arg->extent != kUnknownExtent && arg->extent < count)) {
      return E_INVALIDARG;
    }
    destination = static_cast<char*>(arg->destination);
  }
  std::size_t read = 0;
  std::uint8_t c;
  while (read < count && in_.Peek(c)) {
    if (destination) destination[read] = static_cast<char>(c);
    in_.Take();
    ++read;
  }
  if (backPointer) *backPointer = static_cast<std::int32_t>(read);
  return in_.Error();
}

// "s", "T", "t" and sets into a character buffer, a BSTR or a string object.
HRESULT FormatReader::Text(const Directive& d) {
  std::int32_t* backPointer = nullptr;
  std::size_t maximum = kUnlimited;
  HRESULT hr = Maximum(d.width, backPointer, maximum);
  if (Failed(hr)) return hr;
  const ElementType wanted = d.textType == 'B'   ? ElementType::WideText
                             : d.textType == 'C' ? ElementType::StringObject
                                                 : ElementType::Int8;
  const FormatArg* arg = nullptr;
  if (!d.suppress) {
    arg = args_.Next();
    if (!IsDestination(arg, wanted)) return E_INVALIDARG;
    if (wanted == ElementType::Int8) {
      // A character buffer keeps a place for the terminating zero, and needs
      // a bound: a width, a "#" count, or an array argument.
      maximum = std::min(maximum, arg->extent);
      if (maximum == kUnlimited || maximum == 0) return E_INVALIDARG;
      --maximum;
    }
  }
  // Suppressed text is read and dropped as it goes (a set still stops at
  // its maximum, so it keeps its own).
  if (!arg && !backPointer && d.conversion != '[') maximum = 0;
  std::string text;
  hr = ScanText(d, maximum, text);
  if (Failed(hr)) return hr;
  if (hr == S_FALSE) return S_OK;
  if (backPointer) *backPointer = static_cast<std::int32_t>(text.size());
  if (!arg) return S_OK;
  switch (wanted) {
    case ElementType::WideText: {
      const std::wstring wide = Utf8ToWide(text);
      BSTR fresh = SysAllocStringLen(wide.data(), static_cast<std::uint32_t>(wide.size()));
      if (!fresh) return ReportOutOfMemory(reporter_, {});
      auto* slot = static_cast<BSTR*>(arg->destination);
      SysFreeString(*slot);
      *slot = fresh;
      break;
    }
    case ElementType::StringObject: *static_cast<std::string*>(arg->destination) = std::move(text); break;
    default: {
      auto* destination = static_cast<char*>(arg->destination);
      std::memcpy(destination, text.data(), text.size());
      destination[text.size()] = '\0';
      break;
    }
  }
  return S_OK;
}

// Elements separated by any listed separator, into the caller's elements or
// a new array object.
HRESULT FormatReader::Array(const Directive& d) {
  if (d.width.source == Amount::Source::Pointer) return E_INVALIDARG;
  std::int32_t* backPointer = nullptr;
  std::size_t count = kUnlimited;
  HRESULT hr = Maximum(d.count, backPointer, count);
  if (Failed(hr)) return hr;
  if (count == kUnlimited && !d.arrayObject && !d.suppress) return E_UNEXPECTED;
  const auto kind = static_cast<ReadKind>(d.kind);
  ElementType wanted = IntegerElement(d.size);
  if (kind == ReadKind::RealArray) wanted = d.size ? ElementType::Double : ElementType::Float;
  if (kind == ReadKind::EnumArray) wanted = d.enumName == kBooleanEnumName ? ElementType::Int16 : ElementType::Int32;
  if (kind == ReadKind::StringArray) {
    wanted = d.arrayObject || d.textType == 'B' ? ElementType::WideText
             : d.textType == 'C'                ? ElementType::StringObject
                                                : ElementType::None;
  }
  const FormatArg* arg = nullptr;
  if (!d.suppress) {
    arg = args_.Next();
    if (!arg || wanted == ElementType::None) return E_INVALIDARG;
    if (d.arrayObject ? arg->kind != ArgKind::ArrayOut : !IsDestination(arg, wanted)) return E_INVALIDARG;
    if (!d.arrayObject) count = std::min(count, arg->extent);
  }
  const std::size_t width = d.width.source == Amount::Source::Given ? static_cast<std::size_t>(d.width.value) : kUnlimited;
  const std::size_t maximum = kind == ReadKind::EnumArray ? EnumMaximum(enums_, d, width) : width;
  std::vector<std::uint8_t> numbers;  // elements of a new array object
  std::vector<std::string> texts;
  const std::size_t size = ElementSize(wanted);
  std::size_t read = 0;
  while (read < count) {
    std::int64_t integer = 0;
    double real = 0;
    std::string text;
    hr = Element(d, maximum, integer, real, text);
    if (Failed(hr)) return hr;
    if (hr == S_FALSE) break;
    if (arg) {
      std::uint8_t* slot = nullptr;
      if (size && d.arrayObject) {
        numbers.resize(numbers.size() + size);
        slot = numbers.data() + numbers.size() - size;
      } else if (size) {
        slot = static_cast<std::uint8_t*>(arg->destination) + read * size;
      }
      switch (wanted) {
        case ElementType::Int8: *slot = static_cast<std::uint8_t>(integer); break;
        case ElementType::Int16: {
          const auto v = static_cast<std::int16_t>(integer);
          std::memcpy(slot, &v, sizeof v);
          break;
        }
        case ElementType::Int32: {
          const auto v = static_cast<std::int32_t>(integer);
          std::memcpy(slot, &v, sizeof v);
          break;
        }
        case ElementType::Int64: std::memcpy(slot, &integer, sizeof integer); break;
        case ElementType::Float: {
          const auto v = static_cast<float>(real);
          std::memcpy(slot, &v, sizeof v);
          break;
        }
        case ElementType::Double: std::memcpy(slot, &real, sizeof real); break;
        case ElementType::StringObject: static_cast<std::string*>(arg->destination)[read] = std::move(text); break;
        default:
          if (d.arrayObject) {
            texts.push_back(std::move(text));
          } else {
            const std::wstring wide = Utf8ToWide(text);
            BSTR fresh = SysAllocStringLen(wide.data(), static_cast<std::uint32_t>(wide.size()));
            if (!fresh) return ReportOutOfMemory(reporter_, {});
            BSTR& target = static_cast<BSTR*>(arg->destination)[read];
            SysFreeString(target);
            target = fresh;
          }
          break;
      }
    }
    ++read;
    std::uint8_t c;
    if (read == count || !in_.Peek(c) || !d.separators.test(c)) break;
    in_.Take();
  }
  if (Failed(in_.Error())) return in_.Error();
  if (backPointer) *backPointer = static_cast<std::int32_t>(read);
  if (!arg || !d.arrayObject) return S_OK;
  SafeArrayPtr array(SafeArrayCreateVector(VartypeOf(wanted), 0, static_cast<std::uint32_t>(read)));
  if (!array) return ReportOutOfMemory(reporter_, {});
  if (wanted == ElementType::WideText) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const std::wstring wide = Utf8ToWide(texts[i]);
      BSTR fresh = SysAllocStringLen(wide.data(), static_cast<std::uint32_t>(wide.size()));
      if (!fresh) return ReportOutOfMemory(reporter_, {});
      static_cast<BSTR*>(array->pvData)[i] = fresh;
    }
  } else if (!numbers.empty()) {
    std::memcpy(array->pvData, numbers.data(), numbers.size());
  }
  *static_cast<SAFEARRAY**>(arg->destination) = array.release();
  return S_OK;
}

// Stores what the sink still takes of `count` bytes; the rest is dropped.
void Store(BinarySink& sink, std::size_t& stored, const std::uint8_t* data, std::size_t count) {
  const std::size_t taken = std::min(count, sink.capacity - stored);
  if (taken == 0) return;
  if (sink.fixed) {
    std::memcpy(sink.fixed + stored, data, taken);
  } else if (sink.growing) {
    sink.growing->insert(sink.growing->end(), data, data + taken);
  }
  stored += taken;
}

// Reads `bytes` bytes of binary data (kUnlimited: to the end of the response)
// past the termination character, storing what the sink takes and dropping
// the rest. Memory follows the bytes that arrive, never a claimed length.
HRESULT FormatReader::ReadBinaryData(std::size_t bytes, BinarySink sink, std::size_t& stored) {
  IIoBuffer& buffer = in_.Buffer();
  stored = 0;
  in_.SetRaw(false);
  if (!in_.Begin()) return in_.Error();
  in_.Commit();
  HRESULT hr = S_MORE_DATA_AVAILABLE;
  if (bytes == kUnlimited) {
    // What the buffer holds; when its fill ended the message, that is all.
    // (A termination character inside such data ends it early: only a
    // definite-length block is safe from that.)
    const std::uint8_t* data = nullptr;
    std::int32_t count = 0;
    hr = buffer.PeekUnread(true, &data, &count);
    if (Failed(hr)) return hr;
    const bool ended = hr == S_OK;
    Store(sink, stored, data, static_cast<std::size_t>(std::max(count, 0)));
    hr = buffer.SkipUnread(true, count);
    if (ended || Failed(hr)) {
      in_.Reset(hr);
      return hr;
    }
  }
  std::size_t done = 0;
  std::vector<std::uint8_t> scratch;
  while (done < bytes && hr == S_MORE_DATA_AVAILABLE) {
    std::uint8_t* target = nullptr;
    std::size_t piece = std::min(bytes - done, kBinaryStep);
    if (stored < sink.capacity && sink.fixed) {
      piece = std::min(bytes - done, sink.capacity - stored);
      target = sink.fixed + stored;
    } else if (stored < sink.capacity && sink.growing) {
      piece = std::min(piece, sink.capacity - stored);
      sink.growing->resize(stored + piece);
      target = sink.growing->data() + stored;
    } else {
      scratch.resize(std::min(piece, std::size_t{65536}));
      piece = scratch.size();
      target = scratch.data();
    }
    piece = std::min<std::size_t>(piece, INT32_MAX);
    std::int32_t actual = 0;
    hr = buffer.ReadDirect(target, static_cast<std::int32_t>(piece), &actual, false);
    if (Failed(hr)) break;
    const auto got = static_cast<std::size_t>(std::clamp<std::int32_t>(actual, 0, static_cast<std::int32_t>(piece)));
    if (target != scratch.data()) stored += got;
    done += got;
    // A channel that returns nothing yet claims more must not spin us.
    if (got == 0) break;
  }
  if (sink.growing) sink.growing->resize(stored);
  in_.Reset(hr);
  return hr;
}

// Binary blocks (%b) and raw elements (%y).
HRESULT FormatReader::Binary(const Directive& d) {
  const auto kind = static_cast<ReadKind>(d.kind);
  const ElementType element = BinaryElement(d.size);
  const std::size_t size = ElementSize(element);
  std::int32_t* backPointer = nullptr;
  std::size_t maximum = kUnlimited;
  HRESULT hr = Maximum(d.count, backPointer, maximum);
  if (Failed(hr)) return hr;
  const FormatArg* arg = nullptr;
  BinarySink sink;
  std::vector<std::uint8_t> growing;
  if (!d.suppress) {
    arg = args_.Next();
    if (d.arrayObject) {
      if (!arg || arg->kind != ArgKind::ArrayOut) return E_INVALIDARG;
      sink.growing = &growing;
    } else {
      if (!IsDestination(arg, element)) return E_INVALIDARG;
      maximum = std::min(maximum, arg->extent);
      if (maximum == kUnlimited) return E_UNEXPECTED;
      sink.fixed = static_cast<std::uint8_t*>(arg->destination);
    }
    sink.capacity = maximum == kUnlimited ? kUnlimited : maximum * size;
  }
  std::size_t bytes = kUnlimited;
  if (kind == ReadKind::Block) {
    in_.SetRaw(true);
    std::uint8_t c;
    if (!in_.Peek(c)) return in_.Error();
    if (c != '#') return E_UNEXPECTED;
    in_.Take();
    hr = BlockLength(bytes);
    in_.SetRaw(false);
    if (hr != S_OK) return hr == S_FALSE ? S_OK : hr;
  } else if (maximum != kUnlimited) {
    bytes = maximum * size;
  }
  std::size_t stored = 0;
  hr = ReadBinaryData(bytes, sink, stored);
  if (Failed(hr)) return hr;
  std::uint8_t* data = sink.fixed ? sink.fixed : growing.data();
  // Data read to the end of the response ends with the message's line feed.
  if (bytes == kUnlimited && stored > 0 && data[stored - 1] == '\n') --stored;
  const std::size_t elements = stored / size;
  const bool bigEndian = kind == ReadKind::Block ? in_.Buffer().GetInstrumentBigEndian() : !d.littleEndian;
  if (size > 1 && bigEndian != (std::endian::native == std::endian::big)) SwapElementBytes(data, elements, size);
  if (backPointer) *backPointer = static_cast<std::int32_t>(std::min<std::size_t>(elements, INT32_MAX));
  if (sink.growing) {
    SafeArrayPtr array(SafeArrayCreateVector(VartypeOf(element), 0, static_cast<std::uint32_t>(elements)));
    if (!array) return ReportOutOfMemory(reporter_, {});
    if (elements) std::memcpy(array->pvData, growing.data(), elements * size);
    *static_cast<SAFEARRAY**>(arg->destination) = array.release();
  }
  return S_OK;
}

HRESULT FormatReader::Token(const Directive& d) {
  switch (static_cast<ReadKind>(d.kind)) {
    case ReadKind::Literal: return Literal(d.literal);
    case ReadKind::Integer:
    case ReadKind::Real:
    case ReadKind::EnumWord:
    case ReadKind::EnumSet: return Scalar(d);
    case ReadKind::Characters: return Characters(d);
    case ReadKind::Line:
    case ReadKind::Rest:
    case ReadKind::Word:
    case ReadKind::CharacterSet: return Text(d);
    case ReadKind::IntegerArray:
    case ReadKind::RealArray:
    case ReadKind::StringArray:
    case ReadKind::EnumArray: return Array(d);
    case ReadKind::Block:
    case ReadKind::RawElements: return Binary(d);
  }
  return E_INVALIDARG;
}

// The length digit and the length that follow a block's "#"; kUnlimited for
// an indefinite block ("#0"). S_FALSE when the response ends inside.
HRESULT FormatReader::BlockLength(std::size_t& bytes) {
  std::uint8_t c;
  auto digit = [&]() -> HRESULT {
    if (!in_.Peek(c)) return Failed(in_.Error()) ? in_.Error() : S_FALSE;
    if (c < '0' || c > '9') return E_UNEXPECTED;
    in_.Take();
    return S_OK;
  };
  HRESULT hr = digit();
  if (hr != S_OK) return hr;
  std::size_t digits = static_cast<std::size_t>(c - '0');
  bytes = digits == 0 ? kUnlimited : 0;
  for (; digits > 0; --digits) {
    hr = digit();
    if (hr != S_OK) return hr;
    bytes = bytes * 10 + static_cast<std::size_t>(c - '0');
  }
  return S_OK;
}

HRESULT FormatReader::SessionBlock(BlockHeaderSearch search, SAFEARRAY** bytes) {
  auto notFound = [this] {
    return reporter_ ? reporter_->Report(Message::UnexpectedResponse, "Binary block header not found.")
                     : E_IVI_UNEXPECTED_RESPONSE;
  };
  in_.SetRaw(true);
  std::uint8_t c;
  bool found = false;
  while (in_.Peek(c)) {
    in_.Take();
    if (c == '#') {
      found = true;
      break;
    }
    if (search == BlockHeaderSearch::Strict) break;
  }
  if (Failed(in_.Error())) return in_.Error();
  if (!found) return notFound();
  std::size_t length = 0;
  const HRESULT header = BlockLength(length);
  in_.SetRaw(false);
  if (Failed(header) && header != E_UNEXPECTED) return header;
  if (header != S_OK) return notFound();
  std::vector<std::uint8_t> data;
  std::size_t stored = 0;
  const HRESULT hr = ReadBinaryData(length, {nullptr, &data, kUnlimited}, stored);
  if (Failed(hr)) return hr;
  if (length == kUnlimited && stored > 0 && data[stored - 1] == '\n') --stored;
  SafeArrayPtr array(SafeArrayCreateVector(VT_UI1, 0, static_cast<std::uint32_t>(stored)));
  if (!array) return ReportOutOfMemory(reporter_, "Could not allocate SAFEARRAY memory for Read.");
  if (stored) std::memcpy(array->pvData, data.data(), stored);
  *bytes = array.release();
  return hr;
}

}  // namespace

HRESULT ReadFormatted(IIoBuffer* buffer, IEnumFormatter* enums, IErrorReporter* reporter, std::string_view format,
                      FormatArgs& args) {
  if (!buffer) return E_INVALIDARG;
  if (format.empty()) return S_OK;
  try {
    const std::shared_ptr<const CutFormat> cut = CachedCut(Direction::Read, format);
    if (!cut) return E_UNEXPECTED;
    return FormatReader(*buffer, enums, reporter, args).Run(*cut);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ReadBinaryBlock(IIoBuffer& buffer, IErrorReporter* reporter, BlockHeaderSearch search, SAFEARRAY** bytes) {
  if (!bytes) return ReportNullPointer(reporter, "ReadBinaryBlock", "bytes");
  *bytes = nullptr;
  FormatArgs none({});
  try {
    return FormatReader(buffer, nullptr, reporter, none).SessionBlock(search, bytes);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace hvzelta
