#include "fmtio/format_writer.h"

#include <algorithm>
#include <bit>
#include <cwchar>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/number_text.h"
#include "fmtio/array_elements.h"
#include "fmtio/enum_formatter.h"
#include "fmtio/format_cache.h"
#include "fmtio/io_buffer.h"
#include "fmtio/io_error.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

// Widths and precisions beyond this are refused: a format string from a
// caller must not be able to ask for gigabytes of padding.
constexpr std::int32_t kMaxField = 65536;
// Array and block text is handed to the buffer in pieces of about this size.
constexpr std::size_t kPiece = 4096;

struct IntegerValue {
  std::int64_t value;
  std::uint64_t bits;
};

// The argument seen through the directive's size letter.
IntegerValue Sized(std::int64_t raw, char size) {
  switch (size) {
    case 'b': {
      const auto v = static_cast<std::uint8_t>(raw);
      return {v, v};
    }
    case 'h': {
      const auto v = static_cast<std::int16_t>(raw);
      return {v, static_cast<std::uint16_t>(v)};
    }
    case 'I': return {raw, static_cast<std::uint64_t>(raw)};
    default: {
      const auto v = static_cast<std::int32_t>(raw);
      return {v, static_cast<std::uint32_t>(v)};
    }
  }
}

// The integer styles applied to a real: add one half and cut off the fraction.
std::int64_t RoundForStyle(double value) {
  const double t = std::trunc(value + 0.5);
  if (std::isnan(t)) return 0;
  if (t >= 9.2233720368547758e18) return INT64_MAX;
  if (t <= -9.2233720368547758e18) return INT64_MIN;
  return static_cast<std::int64_t>(t);
}

void AppendStyledInteger(std::string& out, char style, char conversion, IntegerValue v, const NumberLayout& layout) {
  switch (style) {
    case '1': AppendInteger(out, 'd', v.value, v.bits, layout); break;
    case '2': AppendReal(out, 'f', static_cast<double>(v.value), layout); break;
    case '3': AppendReal(out, 'E', static_cast<double>(v.value), layout); break;
    case 'H': out += "#H", AppendInteger(out, 'X', v.value, v.bits, layout); break;
    case 'Q': out += "#Q", AppendInteger(out, 'o', v.value, v.bits, layout); break;
    case 'B': out += "#B", AppendInteger(out, 'b', v.value, v.bits, layout); break;
    default: AppendInteger(out, conversion, v.value, v.bits, layout); break;
  }
}

void AppendStyledReal(std::string& out, char style, char conversion, double value, const NumberLayout& layout) {
  switch (style) {
    case '2': AppendReal(out, 'f', value, layout); break;
    case '3': AppendReal(out, 'E', value, layout); break;
    case 0: AppendReal(out, conversion, value, layout); break;
    default: {
      const std::int64_t rounded = RoundForStyle(value);
      AppendStyledInteger(out, style, 'd', {rounded, static_cast<std::uint64_t>(rounded)}, layout);
      break;
    }
  }
}

// Text justified and cut as C does for "%s" and "%c".
void AppendJustified(std::string& out, std::string_view text, const NumberLayout& layout) {
  if (layout.precision >= 0 && text.size() > static_cast<std::size_t>(layout.precision)) {
    text = text.substr(0, static_cast<std::size_t>(layout.precision));
  }
  const std::size_t width = layout.width > 0 ? static_cast<std::size_t>(layout.width) : 0;
  const std::size_t pad = width > text.size() ? width - text.size() : 0;
  if (!layout.minus) out.append(pad, ' ');
  out.append(text);
  if (layout.minus) out.append(pad, ' ');
}

// "q" encloses a text in single quotes, "Q" in double quotes.
void Enquote(std::string& text, char quote) {
  if (!quote) return;
  const char mark = quote == 'q' ? '\'' : '"';
  text.insert(text.begin(), mark);
  text.push_back(mark);
}

// "#", the number of digits of the byte count, the byte count.
std::string DefiniteBlockHeader(std::size_t bytes) {
  char header[32];
  const int digits = std::snprintf(nullptr, 0, "%zu", bytes);
  std::snprintf(header, sizeof header, "#%d%zu", digits, bytes);
  return header;
}

bool IsPointer(const FormatArg* arg) {
  return arg && (arg->kind == ArgKind::Elements || arg->kind == ArgKind::Destination);
}

// The elements a directive writes: from a pointer argument or an array object.
struct ElementsView {
  const void* data = nullptr;
  ElementType type = ElementType::None;
  std::size_t count = 0;

  std::int64_t IntegerAt(std::size_t i) const {
    switch (type) {
      case ElementType::Int8: return static_cast<const std::uint8_t*>(data)[i];
      case ElementType::Int16: return static_cast<const std::int16_t*>(data)[i];
      case ElementType::Int32: return static_cast<const std::int32_t*>(data)[i];
      default: return static_cast<const std::int64_t*>(data)[i];
    }
  }
  double RealAt(std::size_t i) const {
    return type == ElementType::Float ? static_cast<const float*>(data)[i] : static_cast<const double*>(data)[i];
  }
};

// The text a string argument points to, or false when it points to no text.
bool TextOf(const FormatArg* arg, std::string& text) {
  if (!IsPointer(arg)) return false;
  switch (arg->element) {
    case ElementType::WideChar: {
      const auto* characters = static_cast<const wchar_t*>(arg->elements);
      text = WideToUtf8(std::wstring_view(characters, arg->extent == kUnknownExtent ? std::wcslen(characters)
                                                                                    : wcsnlen(characters, arg->extent)));
      return true;
    }
    case ElementType::StringObject:
      if (arg->extent == 0) return false;
      text = *static_cast<const std::string*>(arg->elements);
      return true;
    case ElementType::Int8: {
      const auto* characters = static_cast<const char*>(arg->elements);
      text.assign(characters,
                  arg->extent == kUnknownExtent ? std::strlen(characters) : strnlen(characters, arg->extent));
      return true;
    }
    default: return false;
  }
}

// "$B" takes a wide string, "$C" a string object, neither a C string.
bool FitsTextType(const FormatArg* arg, char textType) {
  const ElementType wanted = textType == 'B'   ? ElementType::WideChar
                             : textType == 'C' ? ElementType::StringObject
                                               : ElementType::Int8;
  return IsPointer(arg) && arg->element == wanted;
}

class FormatWriter {
 public:
  FormatWriter(IIoBuffer& buffer, IEnumFormatter* enums, FormatArgs& args)
      : buffer_(buffer), enums_(enums), args_(args) {}

  HRESULT Run(const CutFormat& cut) {
    for (const Directive& d : cut.directives) {
      const HRESULT hr = Token(d);
      if (Failed(hr)) return hr;
    }
    return S_OK;
  }

 private:
  HRESULT Token(const Directive& d);
  HRESULT Literal(std::string_view text);
  HRESULT Emit(std::string_view text);
  HRESULT EmitPending() {
    const HRESULT hr = Emit(text_);
    text_.clear();
    return hr;
  }
  HRESULT Layout(const Directive& d, NumberLayout& layout);
  HRESULT Count(const Directive& d, std::int32_t& count);
  HRESULT Elements(const Directive& d, const FormatArg* arg, ElementType wanted, ElementsView& view);
  HRESULT Scalar(const Directive& d, const NumberLayout& layout, const FormatArg* arg);
  HRESULT EnumWord(const Directive& d, std::int64_t value, std::string& word);
  HRESULT Array(const Directive& d);
  HRESULT Block(const Directive& d);

  IIoBuffer& buffer_;
  IEnumFormatter* enums_;
  FormatArgs& args_;
  std::string text_;
};

HRESULT FormatWriter::Emit(std::string_view text) {
  if (text.empty()) return S_OK;
  std::int32_t written = 0;
  const auto size = static_cast<std::int32_t>(text.size());
  const HRESULT hr = buffer_.Write(text.data(), size, &written, false);
  if (Failed(hr)) return hr;
  return written == size ? S_OK : E_UNEXPECTED;
}

// A line feed completes the message: everything up to it goes out with END.
HRESULT FormatWriter::Literal(std::string_view text) {
  while (!text.empty()) {
    const std::size_t feed = text.find('\n');
    const std::size_t length = feed == text.npos ? text.size() : feed + 1;
    std::int32_t written = 0;
    const auto size = static_cast<std::int32_t>(length);
    const HRESULT hr = buffer_.Write(text.data(), size, &written, feed != text.npos);
    if (Failed(hr)) return hr;
    if (written != size) return E_UNEXPECTED;
    text.remove_prefix(length);
  }
  return S_OK;
}

// Width and precision, taking "*" values from the arguments in their order.
HRESULT FormatWriter::Layout(const Directive& d, NumberLayout& layout) {
  layout = {d.minus, d.plus, d.space, d.zero, -1, -1};
  for (const Amount* amount : {&d.width, &d.precision}) {
    std::int32_t value = amount->value;
    if (amount->source == Amount::Source::None) continue;
    if (amount->source == Amount::Source::Argument) {
      const FormatArg* arg = args_.Next();
      if (!arg || arg->kind != ArgKind::Integer) return E_INVALIDARG;
      value = static_cast<std::int32_t>(arg->integer);
    }
    if (amount == &d.width) {
      // A negative width from an argument left-justifies, as in C.
      if (value < 0) layout.minus = true, value = value == INT32_MIN ? INT32_MAX : -value;
      layout.width = value;
    } else {
      layout.precision = value < 0 ? -1 : value;
    }
  }
  if (layout.width > kMaxField || layout.precision > kMaxField) return E_INVALIDARG;
  return S_OK;
}

HRESULT FormatWriter::Count(const Directive& d, std::int32_t& count) {
  count = -1;
  if (d.count.source == Amount::Source::Given) count = d.count.value;
  if (d.count.source == Amount::Source::Argument) {
    const FormatArg* arg = args_.Next();
    if (!arg || arg->kind != ArgKind::Integer || arg->integer < 0 || arg->integer > INT32_MAX) return E_INVALIDARG;
    count = static_cast<std::int32_t>(arg->integer);
  }
  return S_OK;
}

// The elements of an array or block: an array object with "$S" (the smaller
// of count and length), otherwise a pointer with a required count.
HRESULT FormatWriter::Elements(const Directive& d, const FormatArg* arg, ElementType wanted, ElementsView& view) {
  std::int32_t count = -1;
  HRESULT hr = Count(d, count);
  if (Failed(hr)) return hr;
  if (!arg) arg = args_.Next();
  if (!arg || arg->kind == ArgKind::Null) return E_INVALIDARG;
  if (d.arrayObject) {
    if (arg->kind != ArgKind::ArrayObject) return E_INVALIDARG;
    const auto* array = static_cast<const SAFEARRAY*>(arg->elements);
    if (array->cDims != 1 || array->rgsabound[0].lLbound != 0) return E_INVALIDARG;
    view.type = ElementTypeOfVartype(array->vt);
    const bool realsMayBeFloats = wanted == ElementType::Double && view.type == ElementType::Float;
    if (view.type != wanted && !realsMayBeFloats) return E_INVALIDARG;
    view.data = array->pvData;
    view.count = SafeArrayLength(array);
    if (count >= 0 && static_cast<std::size_t>(count) < view.count) view.count = static_cast<std::size_t>(count);
    return S_OK;
  }
  if (count < 0) return E_UNEXPECTED;
  if (!IsPointer(arg)) return E_INVALIDARG;
  const bool realsMayBeFloats = wanted == ElementType::Double && arg->element == ElementType::Float;
  if (arg->element != wanted && !realsMayBeFloats) return E_INVALIDARG;
  if (arg->extent != kUnknownExtent && static_cast<std::size_t>(count) > arg->extent) return E_INVALIDARG;
  view = {arg->elements, arg->element, static_cast<std::size_t>(count)};
  return S_OK;
}

HRESULT FormatWriter::EnumWord(const Directive& d, std::int64_t value, std::string& word) {
  if (!enums_) return E_INVALIDARG;
  const bool boolean = d.enumName == kBooleanEnumName;
  const auto typed = boolean ? static_cast<std::int16_t>(value) : static_cast<std::int32_t>(value);
  return enums_->FormatEnum(d.enumName, typed, word);
}

// One value of a scalar directive, or one element of an array, into text_.
HRESULT FormatWriter::Scalar(const Directive& d, const NumberLayout& layout, const FormatArg* arg) {
  if (!arg) return E_INVALIDARG;
  switch (static_cast<WriteKind>(d.kind)) {
    case WriteKind::Integer:
    case WriteKind::IntegerArray:
      if (arg->kind != ArgKind::Integer) return E_INVALIDARG;
      AppendStyledInteger(text_, d.style, d.conversion, Sized(arg->integer, d.size), layout);
      return S_OK;
    case WriteKind::Real:
    case WriteKind::RealArray:
      if (arg->kind != ArgKind::Real) return E_INVALIDARG;
      AppendStyledReal(text_, d.style, d.conversion, arg->real, layout);
      return S_OK;
    case WriteKind::Character: {
      if (arg->kind != ArgKind::Integer) return E_INVALIDARG;
      const char c = static_cast<char>(arg->integer);
      AppendJustified(text_, std::string_view(&c, 1), {layout.minus, false, false, false, layout.width, -1});
      return S_OK;
    }
    case WriteKind::Enum:
    case WriteKind::EnumArray: {
      if (arg->kind != ArgKind::Integer) return E_INVALIDARG;
      std::string word;
      const HRESULT hr = EnumWord(d, arg->integer, word);
      if (Failed(hr)) return hr;
      Enquote(word, d.quote);
      AppendJustified(text_, word, layout);
      return S_OK;
    }
    default: {
      std::string text;
      const bool scalar = static_cast<WriteKind>(d.kind) == WriteKind::String;
      if ((scalar && !FitsTextType(arg, d.textType)) || !TextOf(arg, text)) return E_INVALIDARG;
      Enquote(text, d.quote);
      AppendJustified(text_, text, layout);
      return S_OK;
    }
  }
}

HRESULT FormatWriter::Array(const Directive& d) {
  NumberLayout layout;
  HRESULT hr = Layout(d, layout);
  if (Failed(hr)) return hr;
  ElementType wanted = ElementType::Int32;
  switch (static_cast<WriteKind>(d.kind)) {
    case WriteKind::IntegerArray: wanted = IntegerElement(d.size); break;
    case WriteKind::RealArray: wanted = ElementType::Double; break;
    case WriteKind::EnumArray: wanted = d.enumName == kBooleanEnumName ? ElementType::Int16 : ElementType::Int32; break;
    default:
      wanted = d.arrayObject || d.textType == 'B' ? ElementType::WideText
               : d.textType == 'C'                ? ElementType::StringObject
                                                  : ElementType::Text;
      break;
  }
  ElementsView view;
  hr = Elements(d, nullptr, wanted, view);
  if (Failed(hr)) return hr;
  for (std::size_t i = 0; i < view.count; ++i) {
    if (i > 0) text_ += d.separator;
    FormatArg element;
    switch (view.type) {
      case ElementType::Float:
      case ElementType::Double:
        element.kind = ArgKind::Real;
        element.real = view.RealAt(i);
        break;
      case ElementType::Text:
        element = detail::ElementsArg(static_cast<const char* const*>(view.data)[i], kUnknownExtent);
        break;
      case ElementType::WideText:
        element = detail::ElementsArg(static_cast<const wchar_t* const*>(view.data)[i], kUnknownExtent);
        // A null BSTR in an array object is an empty text.
        if (element.kind == ArgKind::Null && d.arrayObject) element = detail::ElementsArg(L"", kUnknownExtent);
        break;
      case ElementType::StringObject:
        element = detail::ElementsArg(static_cast<const std::string*>(view.data) + i, 1);
        break;
      default:
        element.kind = ArgKind::Integer;
        element.integer = view.IntegerAt(i);
        break;
    }
    hr = Scalar(d, layout, &element);
    if (Failed(hr)) return hr;
    if (text_.size() >= kPiece) {
      hr = EmitPending();
      if (Failed(hr)) return hr;
    }
  }
  return EmitPending();
}

// Definite (%b) and indefinite (%B) blocks and raw elements (%y).
HRESULT FormatWriter::Block(const Directive& d) {
  const auto kind = static_cast<WriteKind>(d.kind);
  const ElementType element = BinaryElement(d.size);
  ElementsView view;
  HRESULT hr = Elements(d, nullptr, element, view);
  if (Failed(hr)) return hr;
  // Blocks copy the elements' bytes as they are: floats cannot stand in for
  // doubles here as they may in text.
  if (view.type != element) return E_INVALIDARG;
  const std::size_t size = ElementSize(element);
  const std::size_t bytes = view.count * size;
  bool bigEndian = !d.littleEndian;
  if (kind != WriteKind::RawElements) {
    bigEndian = buffer_.GetInstrumentBigEndian();
    text_ = kind == WriteKind::DefiniteBlock ? DefiniteBlockHeader(bytes) : "#0";
    hr = EmitPending();
    if (Failed(hr)) return hr;
  }
  const bool swap = size > 1 && bigEndian != (std::endian::native == std::endian::big);
  const auto* data = static_cast<const std::uint8_t*>(view.data);
  if (!swap) {
    hr = Emit(std::string_view(reinterpret_cast<const char*>(data), bytes));
  } else {
    std::uint8_t piece[kPiece];
    const std::size_t perPiece = kPiece / size;
    for (std::size_t done = 0; done < view.count && Succeeded(hr); done += perPiece) {
      const std::size_t n = std::min(perPiece, view.count - done);
      std::memcpy(piece, data + done * size, n * size);
      SwapElementBytes(piece, n, size);
      hr = Emit(std::string_view(reinterpret_cast<const char*>(piece), n * size));
    }
  }
  if (Failed(hr) || kind != WriteKind::IndefiniteBlock) return hr;
  std::int32_t written = 0;
  hr = buffer_.Write("\n", 1, &written, true);
  if (Failed(hr)) return hr;
  return written == 1 ? S_OK : E_UNEXPECTED;
}

HRESULT FormatWriter::Token(const Directive& d) {
  switch (static_cast<WriteKind>(d.kind)) {
    case WriteKind::Literal: return Literal(d.literal);
    case WriteKind::Integer:
    case WriteKind::Real:
    case WriteKind::Character:
    case WriteKind::String:
    case WriteKind::Enum: {
      NumberLayout layout;
      HRESULT hr = Layout(d, layout);
      if (Failed(hr)) return hr;
      text_.clear();
      hr = Scalar(d, layout, args_.Next());
      if (Failed(hr)) return hr;
      return EmitPending();
    }
    case WriteKind::IntegerArray:
    case WriteKind::RealArray:
    case WriteKind::StringArray:
    case WriteKind::EnumArray: text_.clear(); return Array(d);
    case WriteKind::DefiniteBlock:
    case WriteKind::IndefiniteBlock:
    case WriteKind::RawElements: return Block(d);
  }
  return E_INVALIDARG;
}

}  // namespace

HRESULT WriteFormatted(IIoBuffer* buffer, IEnumFormatter* enums, std::string_view format, FormatArgs& args) {
  if (!buffer) return E_INVALIDARG;
  if (format.empty()) return S_OK;
  try {
    const std::shared_ptr<const CutFormat> cut = CachedCut(Direction::Write, format);
    if (!cut) return E_UNEXPECTED;
    return FormatWriter(*buffer, enums, args).Run(*cut);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT WriteBinaryBlock(IIoBuffer& buffer, IErrorReporter* reporter, const std::uint8_t* data, std::int32_t count,
                         bool flushWithEnd) {
  if (!data && count > 0) return E_INVALIDARG;
  count = std::max(count, 0);
  const std::string header = DefiniteBlockHeader(static_cast<std::size_t>(count));
  std::int32_t written = 0;
  HRESULT hr = buffer.Write(header.data(), static_cast<std::int32_t>(header.size()), &written, false);
  if (Failed(hr)) return hr;
  std::int32_t sent = 0;
  if (!buffer.GetInstrumentBigEndian()) {
    hr = buffer.Write(data, count, &sent, flushWithEnd);
  } else {
    for (std::int32_t i = 0; i < count && Succeeded(hr); ++i) {
      written = 0;
      hr = buffer.Write(data + i, 1, &written, flushWithEnd && i == count - 1);
      sent += written;
    }
  }
  if (Failed(hr)) return hr;
  if (count == 0 && flushWithEnd) hr = buffer.FlushWrite(true);
  if (sent < count) {
    char sentence[120];
    std::snprintf(sentence, sizeof sentence,
                  "Binary block write only successfully sent %d of %d data bytes to the device.", sent, count);
    return ReportIoError(reporter, sentence);
  }
  return hr;
}

}  // namespace hvzelta
