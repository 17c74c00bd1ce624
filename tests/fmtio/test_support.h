#pragma once

#include <string>

#include "base/call_context.h"
#include "base/halvorn_zelta_error_reporter.h"
#include "hvzelta/com/error_info.h"
#include "platform/text.h"

namespace hvzelta::testing {

class NoCallContext final : public ICallContextProvider {
 public:
  IID GetCallContext() const override { return GUID_NULL; }
  const MemberDescriptor* CurrentMember() const override { return nullptr; }
};

// The description of the calling thread's last reported failure.
inline std::string LastError() {
  const ErrorInfo* info = PeekErrorInfo();
  return info ? WideToUtf8(info->description) : std::string("<none>");
}

}  // namespace hvzelta::testing
