#include "measurement.h"

#include <algorithm>
#include <cmath>

namespace zta_sim {

Readings ReadingsOf(const OperatingPoint& p, double peakHold) {
  Readings r{};
  const double peak = PeakCurrent(p);
  const double rms = std::hypot(p.dcAmps, p.acAmps);
  const double apparent = p.acVolts * p.acAmps;
  const double real = apparent * p.powerFactor;
  At(r, Quantity::CurrentDc) = p.dcAmps;
  At(r, Quantity::VoltageDc) = p.dcVolts;
  At(r, Quantity::PowerDc) = p.dcVolts * p.dcAmps;
  At(r, Quantity::Frequency) = p.frequency;
  At(r, Quantity::CurrentAc) = p.acAmps;
  At(r, Quantity::CurrentPeak) = peak;
  At(r, Quantity::CurrentPeakHold) = std::max(peakHold, peak);
  At(r, Quantity::CurrentCrestFactor) = rms > 0.0 ? peak / rms : 0.0;
  At(r, Quantity::VoltageAc) = p.acVolts;
  At(r, Quantity::PowerAc) = real;
  At(r, Quantity::PowerApparent) = apparent;
  At(r, Quantity::PowerReactive) = std::sqrt(std::max(0.0, apparent * apparent - real * real));
  At(r, Quantity::PowerFactor) = apparent > 0.0 ? p.powerFactor : 0.0;
  return r;
}

MeasurementNoise::MeasurementNoise(double relative, std::uint64_t seed)
    : relative_(std::isfinite(relative) ? std::clamp(relative, 0.0, 0.5) : 0.0), random_(seed) {}

OperatingPoint MeasurementNoise::Perturb(const OperatingPoint& point, int averageCount) {
  if (relative_ == 0.0) return point;
  // Averaging n readings narrows the spread by the square root of n.
  const double sigma = relative_ / std::sqrt(static_cast<double>(std::max(1, averageCount)));
  OperatingPoint seen = point;
  for (double* value : {&seen.acVolts, &seen.dcVolts, &seen.acAmps, &seen.dcAmps, &seen.frequency}) {
    *value *= 1.0 + sigma * normal_(random_);
  }
  return seen;
}

}  // namespace zta_sim
