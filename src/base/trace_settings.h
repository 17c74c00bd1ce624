#pragma once

#include <string>

namespace hvzelta {

// How DriverSetup asked for the method trace of a session.
struct TraceSettings {
  bool enabled = false;
  std::string fileName;
  long long sizeMax = 1000000;  // bytes
  bool traceArrays = false;
  long long arraySizeMax = 10;
  long long saveInterval = 1;  // minutes
  std::string transform;
};

}  // namespace hvzelta
