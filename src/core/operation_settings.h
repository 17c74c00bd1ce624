#pragma once

namespace hvzelta {

// The six operation settings of a session, with the values a session starts
// from before the configuration store and the option string are applied.
struct OperationSettings {
  bool cache = true;
  bool interchangeCheck = false;
  bool queryInstrumentStatus = false;
  bool rangeCheck = true;
  bool recordCoercions = false;
  bool simulate = false;

  friend bool operator==(const OperationSettings&, const OperationSettings&) = default;
};

}  // namespace hvzelta
