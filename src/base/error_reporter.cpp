#include "base/error_reporter.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "base/call_context.h"
#include "hvzelta/com/error_info.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

// Fills %1..%9 from `inserts` in one pass, so an insert that itself contains
// "%2" is shown as it is. A place without an insert stays empty.
std::string PlaceInserts(std::string_view text, std::span<const std::string_view> inserts) {
  std::string out;
  out.reserve(text.size() + 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const auto index = static_cast<std::size_t>(text[i + 1] - '1');
      if (index < inserts.size()) out += inserts[index];
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

constexpr std::string_view kMissingMessageReason =
    "The system cannot find message text for this message number in the message table.";

std::string InternalErrorText(int number) {
  char text[700];
  std::snprintf(text, sizeof text,
                "Internal Error: Unable to retrieve and format error message from message table.\n"
                "Resource ID = %d\nLanguage ID = %d\nReason = '%.500s'",
                number, 0, kMissingMessageReason.data());
  return text;
}

}  // namespace

HRESULT IErrorReporter::Report(Message message, std::string_view addedText,
                               std::initializer_list<std::string_view> inserts) {
  return Report(static_cast<int>(message), addedText, std::span<const std::string_view>(inserts.begin(), inserts.size()));
}

HRESULT IErrorReporter::ReportInvalidInteger(std::string_view method, std::string_view parameter, std::int64_t value,
                                             std::string_view addedText) {
  const std::string written = std::to_string(value);
  return Report(Message::InvalidValue, addedText, {written, method, parameter});
}

HRESULT IErrorReporter::ReportInvalidReal(std::string_view method, std::string_view parameter, double value,
                                          std::string_view addedText, int significantDigits) {
  char written[64];
  std::snprintf(written, sizeof written, "%.*g", significantDigits, value);
  return Report(Message::InvalidValue, addedText, {written, method, parameter});
}

HRESULT IErrorReporter::ReportInvalidBoolean(std::string_view method, std::string_view parameter, bool value,
                                             std::string_view addedText) {
  return Report(Message::InvalidValue, addedText, {value ? "True" : "False", method, parameter});
}

HRESULT IErrorReporter::ReportInvalidText(std::string_view method, std::string_view parameter, std::string_view value,
                                          std::string_view addedText) {
  return Report(Message::InvalidValue, addedText, {value, method, parameter});
}

HRESULT IErrorReporter::ReportInvalidWideText(std::string_view method, std::string_view parameter,
                                              std::wstring_view value, std::string_view addedText) {
  const std::string narrow = WideToUtf8(value);
  return Report(Message::InvalidValue, addedText, {narrow, method, parameter});
}

HRESULT IErrorReporter::ReportNullPointer(std::string_view method, std::string_view parameter,
                                          std::string_view addedText) {
  return Report(Message::NullPointer, addedText, {method, parameter});
}

HRESULT IErrorReporter::ReportMethodNotSupported(std::string_view method, std::string_view addedText) {
  return Report(Message::MethodNotSupported, addedText, {method});
}

HRESULT IErrorReporter::ReportPropertyNotSupported(std::string_view property, std::string_view addedText) {
  return Report(Message::PropertyNotSupported, addedText, {property});
}

HRESULT IErrorReporter::ReportModelNotSupported(std::string_view feature, std::string_view addedText) {
  return Report(Message::ModelNotSupported, addedText, {feature});
}

CErrorReporter::CErrorReporter(std::span<const MessageRow> messages, std::wstring source, std::wstring helpFile,
                               const ICallContextProvider& callContext)
    : messages_(messages), source_(std::move(source)), helpFile_(std::move(helpFile)), callContext_(callContext) {}

const MessageRow* CErrorReporter::Find(int number) const {
  const auto it = std::find_if(messages_.begin(), messages_.end(),
                               [number](const MessageRow& row) { return row.number == number; });
  return it == messages_.end() ? nullptr : &*it;
}

std::string CErrorReporter::MessageText(int number, std::span<const std::string_view> inserts) const {
  const MessageRow* row = Find(number);
  if (!row) return {};
  return std::string(TrimWhiteSpace(PlaceInserts(row->text, inserts)));
}

HRESULT CErrorReporter::StatusOf(int number) const {
  const MessageRow* row = Find(number);
  return row ? row->status : E_UNEXPECTED;
}

HRESULT CErrorReporter::Report(int number, std::string_view addedText, std::span<const std::string_view> inserts) {
  const MessageRow* row = Find(number);
  if (!row) return Record(InternalErrorText(number), E_UNEXPECTED, 0);
  try {
    std::string description = MessageText(number, inserts);
    if (!addedText.empty()) {
      description += "\r\n";
      description += addedText;
    }
    return Record(std::move(description), row->status, row->helpContext);
  } catch (...) {
    // Out of memory while building the text: the caller still gets the status.
    return row->status == S_OK ? DISP_E_EXCEPTION : row->status;
  }
}

HRESULT CErrorReporter::Record(std::string description, HRESULT status, std::uint32_t helpContext) const {
  try {
    ErrorInfo info;
    info.description = Utf8ToWide(description);
    info.source = source_;
    info.interfaceId = callContext_.GetCallContext();
    if (helpContext != 0) {
      info.helpFile = helpFile_;
      info.helpContext = helpContext;
    }
    SetErrorInfo(std::move(info));
  } catch (...) {
    // The record is lost but the status below still tells the caller what failed.
  }
  // Error information recorded under a success code would be invisible to a
  // client of the object interface, so it is raised as an exception status.
  return status == S_OK ? DISP_E_EXCEPTION : status;
}

}  // namespace hvzelta
