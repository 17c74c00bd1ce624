#pragma once

#include <cstdint>
#include <string_view>

namespace hvzelta {

// What a concrete driver says about itself; fixed when the object is built.
struct DriverConstants {
  std::string_view cFunctionPrefix;
  std::string_view identifier;
  std::string_view vendor;
  std::string_view description;
  std::string_view revision;
  std::string_view groupCapabilities;
  std::string_view supportedInstrumentModels;  // comma-separated
  std::string_view defaultSimulationModel;
  std::int32_t classSpecificationMajorVersion;
  std::int32_t classSpecificationMinorVersion;
  bool interchangeCheckSupported;
  std::int32_t selfTestTimeoutMs;
  std::int32_t disableTimeoutMs;
  std::int32_t resetTimeoutMs;
  std::size_t coercionRecordBound;
};

}  // namespace hvzelta
