#pragma once

#include <memory>
#include <vector>

#include "hvzelta/trace_listener.h"

namespace hvzelta {

// One listener from every registered factory, for a trace file that opens.
std::vector<std::unique_ptr<ITraceListener>> MakeTraceListeners();

}  // namespace hvzelta
