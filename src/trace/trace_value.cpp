#include "trace/trace_value.h"

#include <charconv>

#include "fmtio/number_text.h"
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

void RenderTraceValue(TraceType type, const void* value, std::string& text, std::string& dataType) {
  switch (type) {
    case TraceType::Empty:
      break;
    case TraceType::Int8:
      AppendNumber(text, *static_cast<const std::int8_t*>(value));
      dataType = "Char";
      return;
    case TraceType::UInt8:
      AppendNumber(text, *static_cast<const std::uint8_t*>(value));
      dataType = "Byte";
      return;
    case TraceType::Boolean:
      text += *static_cast<const VARIANT_BOOL*>(value) != VARIANT_FALSE ? "true" : "false";
      dataType = "Boolean";
      return;
    case TraceType::Int32:
      AppendNumber(text, *static_cast<const std::int32_t*>(value));
      dataType = "Int32";
      return;
    case TraceType::UInt32:
      AppendNumber(text, *static_cast<const std::uint32_t*>(value));
      dataType = "UInt32";
      return;
    case TraceType::Int64:
      AppendNumber(text, *static_cast<const std::int64_t*>(value));
      dataType = "Int64";
      return;
    case TraceType::UInt64:
      AppendNumber(text, *static_cast<const std::uint64_t*>(value));
      dataType = "UInt64";
      return;
    case TraceType::Double: {
      NumberLayout layout;
      layout.precision = 15;
      AppendReal(text, 'g', *static_cast<const double*>(value), layout);
      dataType = "Double";
      return;
    }
    case TraceType::WideString:
      text += WideToUtf8(BstrView(*static_cast<const BSTR*>(value)));
      dataType = "String";
      return;
    case TraceType::Interface:
      text += "(interface)";
      dataType = "IUnknown";
      return;
    case TraceType::Array:
      // Arrays are rendered by the record writer, which knows their shape.
      break;
  }
  text += "(empty)";
  dataType = "(unknown)";
}

}  // namespace hvzelta
