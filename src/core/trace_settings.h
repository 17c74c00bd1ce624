#pragma once

#include <string>

namespace hvzelta {

// How DriverSetup asked for the method trace of a session.
struct TraceSettings {
  bool enabled = false;
  std::string fileName;
  long long sizeMax = 0;
  bool traceArrays = false;
  long long arraySizeMax = 0;
  long long saveInterval = 0;
  std::string transform;
};

}  // namespace hvzelta
