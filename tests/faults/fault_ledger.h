#pragma once

// What the reliability suites did, counted as they go and printed as a table
// when the test program ends: faults injected, operations attempted, their
// outcomes by status, cases the session survived, and replies that answered
// another query (lost data).

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "hvzelta.h"

namespace hvzelta::faults {

class FaultLedger {
 public:
  static FaultLedger& Instance();

  void FaultInjected(std::uint64_t count = 1);
  void Operation(ViStatus status);
  void Survived();
  void LostData();

  std::string Summary() const;

 private:
  mutable std::mutex mutex_;
  std::uint64_t faults_ = 0;
  std::uint64_t operations_ = 0;
  std::uint64_t survived_ = 0;
  std::uint64_t lostData_ = 0;
  std::map<ViStatus, std::uint64_t> outcomes_;
};

}  // namespace hvzelta::faults
