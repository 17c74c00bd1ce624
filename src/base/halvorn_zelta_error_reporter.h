#pragma once

#include "base/error_reporter.h"

namespace hvzelta {

// The driver's reporter: its own message table, with the driver class's
// programmatic identifier as the source of every error and its help file for
// the messages that have help.
class CHalvornZeltaErrorReporter final : public CErrorReporter {
 public:
  explicit CHalvornZeltaErrorReporter(const ICallContextProvider& callContext);
};

}  // namespace hvzelta
