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
  void FaultInjected(std::uint64_t count = 1) { Count(faults_, count); }
  void LostData() { Count(lostData_, 1); }
  void Operation(ViStatus status) {
    const std::lock_guard lock(mutex_);  // the map's lookup, too, is under the lock
    ++outcomes_[status];
  }

  void TearDown() override {
    const std::lock_guard lock(mutex_);
    std::uint64_t operations = 0;
    for (const auto& [status, count] : outcomes_) operations += count;
    std::printf("\n== reliability summary\n  faults injected %12llu\n  operations      %12llu\n", Long(faults_),
                Long(operations));
    std::printf("  lost data       %12llu\n", Long(lostData_));
    for (const auto& [status, count] : outcomes_) {
      char text[256] = {};
      hvzelta_error_message(VI_NULL, status, text);
      std::printf("    %10llu  0x%08X %.60s\n", Long(count), static_cast<unsigned>(status), text);
    }
    std::fflush(stdout);
  }

 private:
  static unsigned long long Long(std::uint64_t value) { return value; }
  void Count(std::uint64_t& counter, std::uint64_t count) {
    const std::lock_guard lock(mutex_);
    counter += count;
  }

  std::mutex mutex_;
  std::uint64_t faults_ = 0;
  std::uint64_t lostData_ = 0;
  std::map<ViStatus, std::uint64_t> outcomes_;
};

}  // namespace hvzelta::faults
