#include "visa/library/formatted_io.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

// The formats come from the caller, as they do for printf and scanf, after
// CheckFormat has refused every directive the C library would misread.
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

namespace hvzelta::visa {
namespace {

// The longest message a formatted read takes.
constexpr std::size_t kMaxMessage = std::size_t{16} << 20;

bool Contains(std::string_view set, char c) { return c != '\0' && set.find(c) != std::string_view::npos; }

// One directive of a format, as cut by Cut().
struct Directive {
  std::string_view flags;
  bool widthFromArgument = false;
  bool precisionFromArgument = false;
  std::string_view width;      // digits
  std::string_view precision;  // "." and digits
  std::string_view size;       // hh h l ll L z j t
  char conversion = 0;
  bool suppressed = false;     // read: "*"
  std::size_t end = 0;         // just after the directive
};

// Cuts the directive at format[at] (just after "%"). VI_SUCCESS, or the
// status that refuses it.
ViStatus Cut(std::string_view format, std::size_t at, FormatDirection direction, Directive& directive) {
  auto span = [&](std::string_view allowed) {
    const std::size_t start = at;
    while (at < format.size() && Contains(allowed, format[at])) ++at;
    return format.substr(start, at - start);
  };
  if (direction == FormatDirection::Read) {
    directive.suppressed = at < format.size() && format[at] == '*';
    if (directive.suppressed) ++at;
  } else {
    directive.flags = span("-+ 0");
  }
  if (at < format.size() && format[at] == '*' && direction == FormatDirection::Write) {
    directive.widthFromArgument = true;
    ++at;
  } else {
    directive.width = span("0123456789");
  }
  if (at < format.size() && format[at] == '.' && direction == FormatDirection::Write) {
    if (at + 1 < format.size() && format[at + 1] == '*') {
      directive.precisionFromArgument = true;
      at += 2;
    } else {
      const std::size_t start = at++;
      span("0123456789");
      directive.precision = format.substr(start, at - start);
    }
  }
  directive.size = span("hlLzjt");
  constexpr std::string_view kSizes[] = {"", "hh", "h", "l", "ll", "L", "z", "j", "t"};
  if (std::find(std::begin(kSizes), std::end(kSizes), directive.size) == std::end(kSizes)) return VI_ERROR_NSUP_FMT;
  if (at >= format.size()) return VI_ERROR_INV_FMT;
  directive.conversion = format[at++];
  if (directive.conversion == '[' && direction == FormatDirection::Read) {
    if (at < format.size() && format[at] == '^') ++at;
    if (at < format.size() && format[at] == ']') ++at;
    at = format.find(']', at);
    if (at == std::string_view::npos) return VI_ERROR_INV_FMT;
    ++at;
  } else if (Contains("np", directive.conversion)) {
    return VI_ERROR_INV_FMT;
  } else if (!Contains("diouxXfFeEgGaAcs", directive.conversion)) {
    return VI_ERROR_NSUP_FMT;
  }
  const bool text = Contains("cs[", directive.conversion);
  if (text && !directive.size.empty()) return VI_ERROR_NSUP_FMT;  // wide characters
  if (directive.size == "L" && !Contains("fFeEgGaA", directive.conversion)) return VI_ERROR_NSUP_FMT;
  directive.end = at;
  return VI_SUCCESS;
}

// Calls `visit` for every directive; "%%" is no directive.
template <typename Visit>
ViStatus ForEachDirective(std::string_view format, FormatDirection direction, Visit&& visit) {
  for (std::size_t at = format.find('%'); at != std::string_view::npos; at = format.find('%', at)) {
    if (at + 1 < format.size() && format[at + 1] == '%') {
      at += 2;
      continue;
    }
    Directive directive;
    if (ViStatus status = Cut(format, at + 1, direction, directive); status != VI_SUCCESS) return status;
    if (ViStatus status = visit(at, directive); status != VI_SUCCESS) return status;
    at = directive.end;
  }
  return VI_SUCCESS;
}

template <typename Value>
void AppendFormatted(std::string& out, const std::string& directiveText, Value value) {
  const int length = std::snprintf(nullptr, 0, directiveText.c_str(), value);
  if (length <= 0) return;
  const std::size_t start = out.size();
  out.resize(start + static_cast<std::size_t>(length) + 1);
  std::snprintf(out.data() + start, static_cast<std::size_t>(length) + 1, directiveText.c_str(), value);
  out.resize(start + static_cast<std::size_t>(length));
}

// Formats `format` into `out`, taking exactly the arguments its directives
// use, so that a query's read goes on with the arguments that follow.
ViStatus Format(const char* format, va_list& params, std::string& out) {
  const std::string_view text(format);
  std::size_t copied = 0;
  auto appendLiteral = [&](std::size_t until) {
    for (std::size_t i = copied; i < until; ++i) {
      out += text[i];
      if (text[i] == '%') ++i;  // "%%"
    }
  };
  ViStatus status = ForEachDirective(text, FormatDirection::Write, [&](std::size_t at, const Directive& d) {
    appendLiteral(at);
    copied = d.end;
    std::string directiveText = "%" + std::string(d.flags);
    directiveText += d.widthFromArgument ? std::to_string(va_arg(params, int)) : std::string(d.width);
    directiveText += d.precisionFromArgument ? "." + std::to_string(va_arg(params, int)) : std::string(d.precision);
    directiveText += d.size;
    directiveText += d.conversion;
    const std::string_view size = d.size;
    if (Contains("di", d.conversion)) {
      if (size == "l" || size == "z" || size == "t") AppendFormatted(out, directiveText, va_arg(params, long));
      else if (size == "ll" || size == "j") AppendFormatted(out, directiveText, va_arg(params, long long));
      else AppendFormatted(out, directiveText, va_arg(params, int));
    } else if (Contains("ouxX", d.conversion)) {
      if (size == "l" || size == "z" || size == "t") AppendFormatted(out, directiveText, va_arg(params, unsigned long));
      else if (size == "ll" || size == "j") AppendFormatted(out, directiveText, va_arg(params, unsigned long long));
      else AppendFormatted(out, directiveText, va_arg(params, unsigned));
    } else if (d.conversion == 'c') {
      AppendFormatted(out, directiveText, va_arg(params, int));
    } else if (d.conversion == 's') {
      const char* string = va_arg(params, const char*);
      if (!string) return VI_ERROR_INV_PARAMETER;
      AppendFormatted(out, directiveText, string);
    } else if (size == "L") {
      AppendFormatted(out, directiveText, va_arg(params, long double));
    } else {
      AppendFormatted(out, directiveText, va_arg(params, double));
    }
    return VI_SUCCESS;
  });
  if (status != VI_SUCCESS) return status;
  appendLiteral(text.size());
  return VI_SUCCESS;
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

ViStatus Convert(const std::string& message, const char* format, va_list params) {
  std::size_t expected = 0;
  ViStatus status = ForEachDirective(format, FormatDirection::Read, [&](std::size_t, const Directive& d) {
    if (!d.suppressed) ++expected;
    return VI_SUCCESS;
  });
  if (status != VI_SUCCESS) return status;
  const int converted = std::vsscanf(message.c_str(), format, params);
  return converted >= 0 && static_cast<std::size_t>(converted) >= expected ? VI_SUCCESS : VI_ERROR_INV_FMT;
}

}  // namespace

ViStatus CheckFormat(const char* format, FormatDirection direction) {
  if (!format) return VI_ERROR_INV_FMT;
  return ForEachDirective(format, direction, [](std::size_t, const Directive&) { return VI_SUCCESS; });
}

namespace {

// The text a write format makes of the arguments; `params` stays the caller's.
ViStatus FormatArguments(const char* format, va_list params, std::string& text) {
  if (ViStatus status = CheckFormat(format, FormatDirection::Write); status != VI_SUCCESS) return status;
  va_list args;
  va_copy(args, params);
  const ViStatus status = Format(format, args, text);
  va_end(args);
  return status;
}

}  // namespace

ViStatus FormattedWrite(IVisaLibrary& library, ViSession vi, const char* format, va_list params) {
  std::string text;
  const ViStatus status = FormatArguments(format, params, text);
  return status == VI_SUCCESS ? Send(library, vi, text) : status;
}

ViStatus FormattedWriteToBuffer(IVisaLibrary& library, ViSession vi, ViByte* buffer, const char* format,
                                va_list params) {
  ViUInt32 timeout = 0;
  if (ViStatus status = library.GetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout); status != VI_SUCCESS) return status;
  if (!buffer) return VI_ERROR_USER_BUF;
  std::string text;
  if (ViStatus status = FormatArguments(format, params, text); status != VI_SUCCESS) return status;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return VI_SUCCESS;
}

ViStatus FormattedRead(IVisaLibrary& library, ViSession vi, const char* format, va_list params) {
  if (ViStatus status = CheckFormat(format, FormatDirection::Read); status != VI_SUCCESS) return status;
  std::string message;
  if (ViStatus status = ReceiveMessage(library, vi, message); status != VI_SUCCESS) return status;
  return Convert(message, format, params);
}

ViStatus FormattedReadFromBuffer(IVisaLibrary& library, ViSession vi, const ViByte* buffer, const char* format,
                                 va_list params) {
  ViUInt32 timeout = 0;
  if (ViStatus status = library.GetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout); status != VI_SUCCESS) return status;
  if (!buffer) return VI_ERROR_USER_BUF;
  if (ViStatus status = CheckFormat(format, FormatDirection::Read); status != VI_SUCCESS) return status;
  return Convert(reinterpret_cast<const char*>(buffer), format, params);
}

ViStatus FormattedQuery(IVisaLibrary& library, ViSession vi, const char* writeFormat, const char* readFormat,
                        va_list params) {
  if (ViStatus status = CheckFormat(writeFormat, FormatDirection::Write); status != VI_SUCCESS) return status;
  if (ViStatus status = CheckFormat(readFormat, FormatDirection::Read); status != VI_SUCCESS) return status;
  std::string text;
  va_list args;
  va_copy(args, params);
  ViStatus status = Format(writeFormat, args, text);
  if (status == VI_SUCCESS) status = Send(library, vi, text);
  std::string message;
  if (ViSucceeded(status)) status = ReceiveMessage(library, vi, message);
  if (ViSucceeded(status)) status = Convert(message, readFormat, args);
  va_end(args);
  return status;
}

}  // namespace hvzelta::visa
