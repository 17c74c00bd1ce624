#pragma once

#include "hvzelta/com/types.h"

namespace hvzelta {

// Asked by the I/O session after instrument traffic: turns an error the
// instrument recorded into a failing status.
class IInstrErrorPoller {
 public:
  virtual HRESULT PollInstrumentErrors() = 0;

 protected:
  ~IInstrErrorPoller() = default;
};

}  // namespace hvzelta
