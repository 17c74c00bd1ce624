#include "load_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zta_sim {

Load Sanitized(const Load& load) {
  Load sane = load;
  if (!(sane.resistanceOhm >= 1e-3)) sane.resistanceOhm = 1e-3;
  if (!(sane.inductanceHenry >= 0.0)) sane.inductanceHenry = 0.0;
  if (!(sane.crestFactor >= 1.0)) sane.crestFactor = 1.0;
  sane.resistanceOhm = std::min(sane.resistanceOhm, 1e12);
  sane.inductanceHenry = std::min(sane.inductanceHenry, 1e3);
  sane.crestFactor = std::min(sane.crestFactor, 20.0);
  return sane;
}

OperatingPoint Solve(const OutputDemand& demand, const Load& load) {
  OperatingPoint point;
  point.crestFactor = load.crestFactor;
  if (!demand.on) return point;

  if (demand.ac) {
    const double reactance = 2.0 * std::numbers::pi * demand.frequency * load.inductanceHenry;
    const double impedance = std::hypot(load.resistanceOhm, reactance);
    point.acVolts = demand.acVolts;
    point.acAmps = demand.acVolts / impedance;
    if (point.acAmps > demand.acLimit) {
      point.overLimit = true;
      if (demand.regulate) {
        point.acAmps = demand.acLimit;
        point.acVolts = demand.acLimit * impedance;
        point.limited = true;
      }
    }
    // Displacement (the inductance) times distortion (peaks sharper than a
    // sine's draw current that does no work).
    const double distortion = std::min(1.0, std::numbers::sqrt2 / load.crestFactor);
    point.powerFactor = load.resistanceOhm / impedance * distortion;
    point.frequency = point.acVolts > 0.0 ? demand.frequency : 0.0;
  }
  if (demand.dc) {
    point.dcVolts = demand.dcVolts;
    point.dcAmps = demand.dcVolts / load.resistanceOhm;
    if (std::fabs(point.dcAmps) > demand.dcLimit) {
      point.overLimit = true;
      if (demand.regulate) {
        point.dcAmps = std::copysign(demand.dcLimit, demand.dcVolts);
        point.dcVolts = point.dcAmps * load.resistanceOhm;
        point.limited = true;
      }
    }
  }
  return point;
}

double PeakCurrent(const OperatingPoint& point) {
  return std::fabs(point.dcAmps) + point.crestFactor * point.acAmps;
}

}  // namespace zta_sim
