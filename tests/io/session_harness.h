#pragma once

// What an I/O session needs from a driver, for tests that drive the session
// on its own: an error reporter with the driver's messages, an error poller
// that counts its calls, and no enumerations.

#include <atomic>
#include <string>

#include "base/call_context.h"
#include "base/halvorn_zelta_error_reporter.h"
#include "fmtio/enum_formatter.h"
#include "io/instr_error_poller.h"
#include "io/io_session.h"
#include "support/error_text.h"

namespace hvzelta::testing {

class SessionHarness final : public IInstrErrorPoller, public IEnumFormatter, public ICallContextProvider {
 public:
  HRESULT Open(IIoSession& session, const std::string& resource) {
    return session.Open(resource, this, &reporter_, this);
  }

  HRESULT PollInstrumentErrors() override {
    ++polls;
    return S_OK;
  }
  HRESULT FormatEnum(std::string_view, std::int32_t, std::string&) override { return E_NOTIMPL; }
  HRESULT ParseEnum(std::string_view, std::string_view, std::int32_t&) override { return E_NOTIMPL; }
  std::int32_t GetMaxEnumLength(std::string_view) override { return 0; }
  IID GetCallContext() const override { return GUID_NULL; }
  const MemberDescriptor* CurrentMember() const override { return nullptr; }

  std::atomic<int> polls{0};

 private:
  CHalvornZeltaErrorReporter reporter_{*this};
};

}  // namespace hvzelta::testing
