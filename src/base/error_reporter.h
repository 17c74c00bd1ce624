#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "base/message.h"
#include "base/message_table.h"
#include "hvzelta/com/types.h"

namespace hvzelta {

class ICallContextProvider;

// Turns a failure into the status a caller sees and the calling thread's error
// information. Every report returns the status to hand back.
class IErrorReporter {
 public:
  // The central operation: message `number` with its %1..%3 inserts; a
  // non-empty `addedText` follows the message on a line of its own.
  virtual HRESULT Report(int number, std::string_view addedText, std::span<const std::string_view> inserts) = 0;

  HRESULT Report(Message message, std::string_view addedText = {}, std::initializer_list<std::string_view> inserts = {});

  // "Invalid value '%1' for method '%2', parameter '%3'." with the value
  // written as the variant's name says.
  HRESULT ReportInvalidInteger(std::string_view method, std::string_view parameter, std::int64_t value,
                               std::string_view addedText = {});
  HRESULT ReportInvalidReal(std::string_view method, std::string_view parameter, double value,
                            std::string_view addedText = {}, int significantDigits = 15);
  HRESULT ReportInvalidBoolean(std::string_view method, std::string_view parameter, bool value,
                               std::string_view addedText = {});
  HRESULT ReportInvalidText(std::string_view method, std::string_view parameter, std::string_view value,
                            std::string_view addedText = {});
  HRESULT ReportInvalidWideText(std::string_view method, std::string_view parameter, std::wstring_view value,
                                std::string_view addedText = {});

  HRESULT ReportNullPointer(std::string_view method, std::string_view parameter, std::string_view addedText = {});
  HRESULT ReportMethodNotSupported(std::string_view method, std::string_view addedText = {});
  HRESULT ReportPropertyNotSupported(std::string_view property, std::string_view addedText = {});
  HRESULT ReportModelNotSupported(std::string_view feature, std::string_view addedText = {});

 protected:
  ~IErrorReporter() = default;
};

// Reports from a driver's message table. The reporter has no state besides
// its configuration, so it runs under whatever lock its caller holds.
class CErrorReporter : public IErrorReporter {
 public:
  CErrorReporter(std::span<const MessageRow> messages, std::wstring source, std::wstring helpFile,
                 const ICallContextProvider& callContext);
  virtual ~CErrorReporter() = default;

  using IErrorReporter::Report;
  HRESULT Report(int number, std::string_view addedText, std::span<const std::string_view> inserts) override;

  // The message text with inserts placed and surrounding white space trimmed,
  // as the description shows it before any added text; empty when the table
  // has no such message.
  std::string MessageText(int number, std::span<const std::string_view> inserts = {}) const;
  // The status of a message; E_UNEXPECTED for a number the table lacks.
  HRESULT StatusOf(int number) const;

 private:
  const MessageRow* Find(int number) const;
  HRESULT Record(std::string description, HRESULT status, std::uint32_t helpContext) const;

  std::span<const MessageRow> messages_;
  std::wstring source_;
  std::wstring helpFile_;
  const ICallContextProvider& callContext_;
};

}  // namespace hvzelta
