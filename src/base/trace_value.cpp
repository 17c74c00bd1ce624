#include "base/trace_value.h"

#include <charconv>

#include "base/number_text.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

template <class T>
void AppendNumber(std::string& text, T value) {
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  text.append(digits, end);
}

}  // namespace

std::string_view RenderTraceValue(TraceType type, const void* value, std::string& text) {
  switch (type) {
    case TraceType::Empty:
      break;
    case TraceType::Int8:
      AppendNumber(text, *static_cast<const std::int8_t*>(value));
      return "Char";
    case TraceType::UInt8:
      AppendNumber(text, *static_cast<const std::uint8_t*>(value));
      return "Byte";
    case TraceType::Boolean:
      text += *static_cast<const VARIANT_BOOL*>(value) != VARIANT_FALSE ? "true" : "false";
      return "Boolean";
    case TraceType::Int32:
      AppendNumber(text, *static_cast<const std::int32_t*>(value));
      return "Int32";
    case TraceType::UInt32:
      AppendNumber(text, *static_cast<const std::uint32_t*>(value));
      return "UInt32";
    case TraceType::Int64:
      AppendNumber(text, *static_cast<const std::int64_t*>(value));
      return "Int64";
    case TraceType::UInt64:
      AppendNumber(text, *static_cast<const std::uint64_t*>(value));
      return "UInt64";
    case TraceType::Double: {
      NumberLayout layout;
      layout.precision = 15;
      AppendReal(text, 'g', *static_cast<const double*>(value), layout);
      return "Double";
    }
    case TraceType::WideString:
      text += WideToUtf8(BstrView(*static_cast<const BSTR*>(value)));
      return "String";
    case TraceType::Interface:
      text += "(interface)";
      return "IUnknown";
    case TraceType::Array:
      // Arrays are rendered by the record writer, which knows their shape.
      break;
  }
  text += "(empty)";
  return "(unknown)";
}

}  // namespace hvzelta
