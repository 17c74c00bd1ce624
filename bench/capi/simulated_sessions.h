#pragma once

// Simulated sessions of the C interface and the call pair the C benchmarks
// make on them: the output voltage set, then read back.

#include <vector>

#include "hvzelta.h"

namespace hvzelta::bench {

// VI_NULL when the session did not open.
inline ViSession OpenSimulated() {
  ViSession vi = VI_NULL;
  if (hvzelta_InitWithOptions("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, "Simulate=true", &vi) !=
      VI_SUCCESS) {
    return VI_NULL;
  }
  return vi;
}

// As many as opened, up to `count`.
inline std::vector<ViSession> OpenSimulated(int count) {
  std::vector<ViSession> sessions;
  for (int i = 0; i < count; ++i) {
    const ViSession vi = OpenSimulated();
    if (vi == VI_NULL) break;
    sessions.push_back(vi);
  }
  return sessions;
}

inline void CloseAll(const std::vector<ViSession>& sessions) {
  for (const ViSession vi : sessions) hvzelta_close(vi);
}

inline bool SetThenGet(ViSession vi) {
  ViReal64 level = 0;
  return hvzelta_SetAttributeViReal64(vi, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, 229.99999999999997) ==
             VI_SUCCESS &&
         hvzelta_GetAttributeViReal64(vi, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, &level) == VI_SUCCESS;
}

}  // namespace hvzelta::bench
