#include "visa/library/formatted_io.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "fmtio/array_elements.h"
#include "fmtio/directive_scanner.h"
#include "fmtio/format_cache.h"
#include "fmtio/formatted_io.h"
#include "hvzelta/status.h"

namespace hvzelta::visa {
namespace {

using Type = ArgumentSlot::Type;

// The longest message a formatted read takes.
constexpr std::size_t kMaxMessage = std::size_t{16} << 20;
// The engine refuses wider fields; a width written in the format is the
// format's fault.
constexpr std::int32_t kMaxField = 65536;

// The letters that name a conversion somewhere in the VISA format language.
constexpr std::string_view kVisaConversions = "diouxXfeEgGcsbByTt[";
// Letters that size a directive or quote its text.
constexpr std::string_view kSizeLetters = "hlLIzZqQ";

// The letter that ends the directive at the start of `text`: the first one
// that is no size and does not follow "@", "$" or "!o"; 0 when none.
char ConversionLetter(std::string_view text) {
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    const char before = text[i - 1];
    const bool order = before == '!' || (i >= 2 && text[i - 2] == '!' && before == 'o');
    if (before == '@' || before == '$' || order) continue;
    const bool letter = std::isalpha(static_cast<unsigned char>(c)) != 0;
    if (c == '[' || (letter && kSizeLetters.find(c) == std::string_view::npos)) return c;
  }
  return 0;
}

// Why the engine could not cut `format`: the first directive that does not
// cut alone names a VISA conversion the engine lacks, or is no directive.
ViStatus Refusal(std::string_view format, Direction direction) {
  for (std::size_t at = format.find('%'); at != std::string_view::npos;) {
    if (at + 1 < format.size() && format[at + 1] == '%') {
      at = format.find('%', at + 2);
      continue;
    }
    const std::size_t next = format.find('%', at + 1);
    const std::string_view directive = format.substr(at, next == std::string_view::npos ? next : next - at);
    CutFormat cut;
    if (!CutFormatString(direction, directive, cut)) {
      const char letter = ConversionLetter(directive);
      return letter && kVisaConversions.find(letter) != std::string_view::npos ? VI_ERROR_NSUP_FMT : VI_ERROR_INV_FMT;
    }
    at = next;
  }
  return VI_ERROR_INV_FMT;
}

// Directives of the engine that want the driver's own argument types.
bool WantsDriverTypes(const Directive& d) { return !d.enumName.empty() || d.arrayObject || d.textType != 0; }

void AddAmount(const Amount& amount, Amount::Source taken, ArgumentSlot slot, std::vector<ArgumentSlot>& slots) {
  if (amount.source == taken) slots.push_back(slot);
}

// The element of a real array: single or double precision; the engine has
// no long double arrays.
ViStatus RealArrayElement(char size, ElementType& element) {
  if (size == 'L') return VI_ERROR_NSUP_FMT;
  element = size == 'l' ? ElementType::Double : ElementType::Float;
  return VI_SUCCESS;
}

ViStatus PlanWrite(const Directive& d, std::vector<ArgumentSlot>& slots) {
  const auto kind = static_cast<WriteKind>(d.kind);
  if (kind == WriteKind::Literal) return VI_SUCCESS;
  if (WantsDriverTypes(d)) return VI_ERROR_NSUP_FMT;
  if (d.width.value > kMaxField || d.precision.value > kMaxField) return VI_ERROR_INV_FMT;
  const ArgumentSlot integer{Type::Int};
  // Width and precision come first, then a count, then the value.
  AddAmount(d.width, Amount::Source::Argument, integer, slots);
  AddAmount(d.precision, Amount::Source::Argument, integer, slots);
  switch (kind) {
    case WriteKind::Integer:
      slots.push_back({d.size == 'I' ? Type::LongLong : d.size == 'l' ? Type::Long : Type::Int});
      return VI_SUCCESS;
    case WriteKind::Real: slots.push_back({d.size == 'L' ? Type::LongDouble : Type::Double}); return VI_SUCCESS;
    case WriteKind::Character: slots.push_back(integer); return VI_SUCCESS;
    case WriteKind::String: slots.push_back({Type::Elements, ElementType::Int8}); return VI_SUCCESS;
    default: break;
  }
  if (d.count.source == Amount::Source::None) return VI_ERROR_INV_FMT;
  AddAmount(d.count, Amount::Source::Argument, integer, slots);
  ElementType element = BinaryElement(d.size);
  switch (kind) {
    case WriteKind::IntegerArray: element = IntegerElement(d.size); break;
    case WriteKind::RealArray:
      if (const ViStatus status = RealArrayElement(d.size, element); status != VI_SUCCESS) return status;
      break;
    case WriteKind::StringArray: element = ElementType::Text; break;
    default: break;
  }
  slots.push_back({Type::Elements, element});
  return VI_SUCCESS;
}

ViStatus PlanRead(const Directive& d, std::vector<ArgumentSlot>& slots) {
  const auto kind = static_cast<ReadKind>(d.kind);
  if (kind == ReadKind::Literal) return VI_SUCCESS;
  if (WantsDriverTypes(d) || kind == ReadKind::StringArray) return VI_ERROR_NSUP_FMT;
  const ArgumentSlot count{Type::Destination, ElementType::Int32};
  // A "#" width or count is read from, and written back to, a ViInt32 that
  // comes before the destination.
  switch (kind) {
    case ReadKind::Integer:
    case ReadKind::Real:
      AddAmount(d.width, Amount::Source::Pointer, count, slots);
      if (d.suppress) return VI_SUCCESS;
      if (kind == ReadKind::Integer) {
        slots.push_back(d.size == 'l' ? ArgumentSlot{Type::LongDestination, ElementType::Int32}
                                      : ArgumentSlot{Type::Destination, IntegerElement(d.size)});
      } else {
        slots.push_back(d.size == 'L'   ? ArgumentSlot{Type::LongDoubleDestination, ElementType::Double}
                        : d.size == 'l' ? ArgumentSlot{Type::Destination, ElementType::Double}
                                        : ArgumentSlot{Type::Destination, ElementType::Float});
      }
      return VI_SUCCESS;
    case ReadKind::Characters:
    case ReadKind::Line:
    case ReadKind::Rest:
    case ReadKind::Word:
    case ReadKind::CharacterSet:
      AddAmount(d.width, Amount::Source::Pointer, count, slots);
      if (!d.suppress) {
        const bool unbounded = kind != ReadKind::Characters && d.width.source == Amount::Source::None;
        slots.push_back({Type::Destination, ElementType::Int8, unbounded});
      }
      return VI_SUCCESS;
    default: break;
  }
  if (d.width.source == Amount::Source::Pointer) return VI_ERROR_INV_FMT;
  if (d.count.source == Amount::Source::None && !d.suppress) return VI_ERROR_INV_FMT;
  AddAmount(d.count, Amount::Source::Pointer, count, slots);
  if (d.suppress) return VI_SUCCESS;
  ElementType element = BinaryElement(d.size);
  if (kind == ReadKind::IntegerArray) element = IntegerElement(d.size);
  if (kind == ReadKind::RealArray) {
    if (const ViStatus status = RealArrayElement(d.size, element); status != VI_SUCCESS) return status;
  }
  slots.push_back({Type::Destination, element});
  return VI_SUCCESS;
}

// A long or long double destination, seen by the engine through a value of
// the width it stores.
struct Widening {
  void* caller;
  Type type;
  std::int32_t integer;
  double real;
};

// The engine's argument list of one call, taken from its va_list.
class PackedArguments {
 public:
  // `messageSize` bounds the character buffers read without a width.
  void Take(const std::vector<ArgumentSlot>& slots, va_list* params, std::size_t messageSize) {
    args_.reserve(slots.size());
    for (const ArgumentSlot& slot : slots) args_.push_back(Take(slot, params, messageSize));
  }
  std::span<const FormatArg> Args() const { return args_; }
  // Stores what the engine read into the long and long double destinations.
  void Widen() {
    for (const Widening& w : widenings_) {
      if (w.type == Type::LongDestination) *static_cast<long*>(w.caller) = w.integer;
      else *static_cast<long double*>(w.caller) = w.real;
    }
  }

 private:
  FormatArg Take(const ArgumentSlot& slot, va_list* params, std::size_t messageSize);

  std::vector<FormatArg> args_;
  std::deque<Widening> widenings_;  // stable addresses
};

FormatArg PackedArguments::Take(const ArgumentSlot& slot, va_list* params, std::size_t messageSize) {
  FormatArg arg;
  switch (slot.type) {
    case Type::Int: arg.kind = ArgKind::Integer, arg.integer = va_arg(*params, int); return arg;
    case Type::Long: arg.kind = ArgKind::Integer, arg.integer = va_arg(*params, long); return arg;
    case Type::LongLong: arg.kind = ArgKind::Integer, arg.integer = va_arg(*params, long long); return arg;
    case Type::Double: arg.kind = ArgKind::Real, arg.real = va_arg(*params, double); return arg;
    case Type::LongDouble:
      arg.kind = ArgKind::Real, arg.real = static_cast<double>(va_arg(*params, long double));
      return arg;
    default: break;
  }
  void* pointer = va_arg(*params, void*);
  arg.element = slot.element;
  arg.extent = slot.boundedByMessage ? messageSize + 1 : kUnknownExtent;
  if (!pointer) return arg;  // ArgKind::Null: the engine refuses it
  if (slot.type == Type::Elements) {
    arg.kind = ArgKind::Elements;
    arg.elements = pointer;
    return arg;
  }
  arg.kind = ArgKind::Destination;
  arg.destination = pointer;
  if (slot.type == Type::LongDestination || slot.type == Type::LongDoubleDestination) {
    // A directive the response ends before keeps the caller's value.
    Widening& w = widenings_.emplace_back(Widening{pointer, slot.type, 0, 0});
    if (slot.type == Type::LongDestination) {
      w.integer = static_cast<std::int32_t>(*static_cast<const long*>(pointer));
      arg.destination = &w.integer;
    } else {
      w.real = static_cast<double>(*static_cast<const long double*>(pointer));
      arg.destination = &w.real;
    }
  }
  return arg;
}

ViStatus FromEngine(HRESULT hr) {
  if (Succeeded(hr)) return VI_SUCCESS;
  if (hr == E_INVALIDARG || hr == E_POINTER) return VI_ERROR_INV_PARAMETER;
  if (hr == E_OUTOFMEMORY) return VI_ERROR_ALLOC;
  // The response does not match the format, or a value does not fit.
  return VI_ERROR_INV_FMT;
}

// Formats the text of a write format already planned.
ViStatus FormatText(const char* format, const std::vector<ArgumentSlot>& slots, va_list* params, std::string& text) {
  PackedArguments packed;
  packed.Take(slots, params, 0);
  FormatArgs list(packed.Args());
  // Blocks go out big-endian, as IEEE 488.2 has them.
  CFormattedIo::CCStringWriter writer(text, true);
  return FromEngine(CFormattedIo::Write(&writer, nullptr, format, list));
}

ViStatus Send(IVisaLibrary& library, ViSession vi, const std::string& text) {
  ViUInt32 written = 0;
  return library.Write(vi, reinterpret_cast<const ViByte*>(text.data()), static_cast<ViUInt32>(text.size()),
                       &written);
}

// One whole message: up to END or the termination character.
ViStatus ReceiveMessage(IVisaLibrary& library, ViSession vi, std::string& message) {
  ViByte chunk[4096];
  for (;;) {
    ViUInt32 received = 0;
    const ViStatus status = library.Read(vi, chunk, sizeof chunk, &received);
    message.append(reinterpret_cast<const char*>(chunk), received);
    if (ViFailed(status)) return status;
    if (status != VI_SUCCESS_MAX_CNT) return VI_SUCCESS;
    if (message.size() > kMaxMessage) return VI_ERROR_ALLOC;
  }
}

// The session's termination character, which ends a message without being
// part of its content.
int Terminator(IVisaLibrary& library, ViSession vi) {
  ViUInt8 terminator = '\n';
  return library.GetAttribute(vi, VI_ATTR_TERMCHAR, &terminator) == VI_SUCCESS ? terminator : '\n';
}

// Converts `message` with a read format already planned.
ViStatus Scan(std::string_view message, int terminator, const char* format, const std::vector<ArgumentSlot>& slots,
              va_list* params) {
  PackedArguments packed;
  packed.Take(slots, params, message.size());
  CFormattedIo::CCStringReader reader(message, terminator);
  FormatArgs list(packed.Args());
  const HRESULT hr = CFormattedIo::Read(&reader, nullptr, nullptr, format, list);
  packed.Widen();
  if (const ViStatus status = FromEngine(hr); status != VI_SUCCESS) return status;
  // The response ended before a directive that wants a value, as C's scanf
  // counts a conversion short.
  const bool empty = message.empty() || (message.size() == 1 && message[0] == terminator);
  return list.Used() < slots.size() || (empty && !slots.empty()) ? VI_ERROR_INV_FMT : VI_SUCCESS;
}

ViStatus ReadAndScan(IVisaLibrary& library, ViSession vi, const char* format, const std::vector<ArgumentSlot>& slots,
                     va_list* params) {
  std::string message;
  if (ViStatus status = ReceiveMessage(library, vi, message); status != VI_SUCCESS) return status;
  return Scan(message, Terminator(library, vi), format, slots, params);
}

// Runs `body` over a copy of the caller's list, which stays the caller's.
template <typename Body>
ViStatus WithArguments(va_list params, Body&& body) {
  va_list args;
  va_copy(args, params);
  const ViStatus status = body(&args);
  va_end(args);
  return status;
}

// A valid session answers for its timeout; the buffer forms check that
// before their buffer, as the forms that do I/O do.
ViStatus CheckSession(IVisaLibrary& library, ViSession vi) {
  ViUInt32 timeout = 0;
  return library.GetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout);
}

// Plans `format` and formats the caller's values with it into `text`.
ViStatus FormatWhole(const char* format, va_list params, std::string& text) {
  std::vector<ArgumentSlot> slots;
  if (ViStatus status = PlanArguments(format, Direction::Write, slots); status != VI_SUCCESS) return status;
  return WithArguments(params, [&](va_list* args) { return FormatText(format, slots, args, text); });
}

}  // namespace

ViStatus PlanArguments(const char* format, Direction direction, std::vector<ArgumentSlot>& slots) {
  slots.clear();
  if (!format) return VI_ERROR_INV_FMT;
  const std::shared_ptr<const CutFormat> cut = CachedCut(direction, format);
  if (!cut) return Refusal(format, direction);
  for (const Directive& d : cut->directives) {
    const ViStatus status = direction == Direction::Write ? PlanWrite(d, slots) : PlanRead(d, slots);
    if (status != VI_SUCCESS) return status;
  }
  return VI_SUCCESS;
}

ViStatus FormattedWrite(IVisaLibrary& library, ViSession vi, const char* format, va_list params) {
  std::string text;
  const ViStatus status = FormatWhole(format, params, text);
  return status == VI_SUCCESS ? Send(library, vi, text) : status;
}

ViStatus FormattedWriteToBuffer(IVisaLibrary& library, ViSession vi, ViByte* buffer, const char* format,
                                va_list params) {
  if (ViStatus status = CheckSession(library, vi); status != VI_SUCCESS) return status;
  if (!buffer) return VI_ERROR_USER_BUF;
  std::string text;
  const ViStatus status = FormatWhole(format, params, text);
  if (status == VI_SUCCESS) std::memcpy(buffer, text.c_str(), text.size() + 1);
  return status;
}

ViStatus FormattedRead(IVisaLibrary& library, ViSession vi, const char* format, va_list params) {
  std::vector<ArgumentSlot> slots;
  if (ViStatus status = PlanArguments(format, Direction::Read, slots); status != VI_SUCCESS) return status;
  return WithArguments(params, [&](va_list* args) { return ReadAndScan(library, vi, format, slots, args); });
}

ViStatus FormattedReadFromBuffer(IVisaLibrary& library, ViSession vi, const ViByte* buffer, const char* format,
                                 va_list params) {
  if (ViStatus status = CheckSession(library, vi); status != VI_SUCCESS) return status;
  if (!buffer) return VI_ERROR_USER_BUF;
  return ScanMessage(reinterpret_cast<const char*>(buffer), Terminator(library, vi), format, params);
}

ViStatus FormattedQuery(IVisaLibrary& library, ViSession vi, const char* writeFormat, const char* readFormat,
                        va_list params) {
  // Nothing is sent unless both formats are good.
  std::vector<ArgumentSlot> writeSlots;
  if (ViStatus status = PlanArguments(writeFormat, Direction::Write, writeSlots); status != VI_SUCCESS) return status;
  std::vector<ArgumentSlot> readSlots;
  if (ViStatus status = PlanArguments(readFormat, Direction::Read, readSlots); status != VI_SUCCESS) return status;
  // One list: the read's destinations follow the write's values.
  return WithArguments(params, [&](va_list* args) {
    std::string text;
    ViStatus status = FormatText(writeFormat, writeSlots, args, text);
    if (status == VI_SUCCESS) status = Send(library, vi, text);
    if (ViSucceeded(status)) status = ReadAndScan(library, vi, readFormat, readSlots, args);
    return status;
  });
}

ViStatus ScanMessage(std::string_view message, int terminator, const char* format, va_list params) {
  std::vector<ArgumentSlot> slots;
  if (ViStatus status = PlanArguments(format, Direction::Read, slots); status != VI_SUCCESS) return status;
  return WithArguments(params, [&](va_list* args) { return Scan(message, terminator, format, slots, args); });
}

}  // namespace hvzelta::visa
