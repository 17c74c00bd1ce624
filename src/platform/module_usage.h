#pragma once

// What keeps the library in use: the objects it has handed out and the locks
// callers hold on its class factory. DllCanUnloadNow reads the count.

#include <atomic>

namespace hvzelta {

inline std::atomic<long> gModuleUsage{0};

// Counts one use for as long as it lives; every driver object holds one.
class ModuleUsageToken {
 public:
  ModuleUsageToken() noexcept { gModuleUsage.fetch_add(1, std::memory_order_relaxed); }
  ~ModuleUsageToken() { gModuleUsage.fetch_sub(1, std::memory_order_relaxed); }
  ModuleUsageToken(const ModuleUsageToken&) = delete;
  ModuleUsageToken& operator=(const ModuleUsageToken&) = delete;
};

}  // namespace hvzelta
