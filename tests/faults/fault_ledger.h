#pragma once

// What the reliability suites did, counted as they go and printed when the
// test program ends, also when some tests failed: faults injected,
// operations by status, and replies that answered another query (lost data).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>

#include "hvzelta.h"

namespace hvzelta::faults {

class FaultLedger final : public ::testing::Environment {
 public:
  static FaultLedger& Instance() {
    static FaultLedger* const ledger = static_cast<FaultLedger*>(::testing::AddGlobalTestEnvironment(new FaultLedger));
    return *ledger;
  }
  void FaultInjected(unsigned long long count = 1) { Add(faults_, count); }
  void LostData() { Add(lostData_, 1); }
  void Operation(ViStatus status) {
    const std::lock_guard lock(mutex_);  // the map's lookup, too, is under the lock
    ++outcomes_[status];
  }

  void TearDown() override {
    const std::lock_guard lock(mutex_);
    unsigned long long operations = 0;
    for (const auto& [status, count] : outcomes_) operations += count;
    std::printf("\n== reliability summary\n  faults injected %12llu\n  operations      %12llu\n  lost data       %12llu\n",
                faults_, operations, lostData_);
    for (const auto& [status, count] : outcomes_) {
      char text[256] = {};
      hvzelta_error_message(VI_NULL, status, text);
      std::printf("    %10llu  0x%08X %.60s\n", count, static_cast<unsigned>(status), text);
    }
    std::fflush(stdout);
  }

 private:
  void Add(unsigned long long& counter, unsigned long long count) {
    const std::lock_guard lock(mutex_);
    counter += count;
  }

  std::mutex mutex_;
  unsigned long long faults_ = 0;
  unsigned long long lostData_ = 0;
  std::map<ViStatus, unsigned long long> outcomes_;
};

}  // namespace hvzelta::faults
