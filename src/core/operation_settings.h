#pragma once

#include <atomic>

namespace hvzelta {

// The six operation settings of a session, with the values a session starts
// from before the configuration store and the option string are applied.
// Members of the output and output phase read them under their own locks
// while the root's members change them under the root's, so each is atomic.
struct OperationSettings {
  std::atomic<bool> cache = true;
  std::atomic<bool> interchangeCheck = false;
  std::atomic<bool> queryInstrumentStatus = false;
  std::atomic<bool> rangeCheck = true;
  std::atomic<bool> recordCoercions = false;
  std::atomic<bool> simulate = false;

  OperationSettings() = default;
  OperationSettings(const OperationSettings& other) { *this = other; }
  OperationSettings& operator=(const OperationSettings& other) {
    cache = other.cache.load();
    interchangeCheck = other.interchangeCheck.load();
    queryInstrumentStatus = other.queryInstrumentStatus.load();
    rangeCheck = other.rangeCheck.load();
    recordCoercions = other.recordCoercions.load();
    simulate = other.simulate.load();
    return *this;
  }
};

}  // namespace hvzelta
