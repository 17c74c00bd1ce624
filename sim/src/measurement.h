#pragma once

// The thirteen quantities the instrument measures, derived from one
// operating point so that they always agree with each other, and the
// optional seeded noise that a real meter would add.

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>

#include "load_model.h"

namespace zta_sim {

enum class Quantity {
  CurrentDc,
  VoltageDc,
  PowerDc,
  Frequency,
  CurrentAc,
  CurrentPeak,
  CurrentPeakHold,
  CurrentCrestFactor,
  VoltageAc,
  PowerAc,
  PowerApparent,
  PowerReactive,
  PowerFactor,
};

inline constexpr std::size_t kQuantityCount = 13;

using Readings = std::array<double, kQuantityCount>;

inline double& At(Readings& readings, Quantity q) { return readings[static_cast<std::size_t>(q)]; }
inline double At(const Readings& readings, Quantity q) { return readings[static_cast<std::size_t>(q)]; }

// peakHold: the highest peak current seen since the hold was cleared.
Readings ReadingsOf(const OperatingPoint& point, double peakHold);

class MeasurementNoise {
 public:
  MeasurementNoise(double relative, std::uint64_t seed);
  // The point as the meter sees it, averaged over averageCount readings.
  OperatingPoint Perturb(const OperatingPoint& point, int averageCount);

 private:
  double relative_;
  std::mt19937_64 random_;
  std::normal_distribution<double> normal_;
};

}  // namespace zta_sim
