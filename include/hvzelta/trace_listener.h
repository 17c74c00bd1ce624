#pragma once

// Receivers of method-trace records. A program registers a listener factory
// under a name; every driver that starts tracing afterwards makes one listener
// from each factory and hands it each completed top-level record.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "hvzelta/export.h"

namespace hvzelta {

class ITraceListener {
 public:
  virtual ~ITraceListener() = default;
  // `kind` is 1 for a completed record; `record` is its XML text.
  virtual void OnTraceEvent(std::uint32_t processId, std::wstring_view identifier, std::int32_t kind,
                            std::wstring_view record) = 0;
};

using TraceListenerFactory = std::unique_ptr<ITraceListener> (*)();

// Registering a name again replaces its factory.
HVZELTA_API void RegisterTraceListener(const std::string& name, TraceListenerFactory factory);
HVZELTA_API void UnregisterTraceListener(const std::string& name);

}  // namespace hvzelta
