#pragma once

// The description of the calling thread's last reported failure, and a call
// context naming no member for tests that drive an error reporter directly.

#include <string>

#include "base/call_context.h"
#include "hvzelta/com/error_info.h"
#include "platform/text.h"

namespace hvzelta::testing {

class NoCallContext final : public ICallContextProvider {
 public:
  IID GetCallContext() const override { return GUID_NULL; }
  const MemberDescriptor* CurrentMember() const override { return nullptr; }
};

inline std::string LastError() {
  const ErrorInfo* info = PeekErrorInfo();
  return info ? WideToUtf8(info->description) : std::string();
}

}  // namespace hvzelta::testing
