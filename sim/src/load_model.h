#pragma once

// The physics of the output driving its load: which voltages and currents
// appear for the voltages asked for, and what the current limits do to them.

#include "zta_sim/emulator.h"

namespace zta_sim {

// What the settings ask of the output.
struct OutputDemand {
  bool on = false;
  bool ac = false;  // the coupling passes an AC component
  bool dc = false;  // the coupling passes a DC component
  double acVolts = 0.0;
  double dcVolts = 0.0;
  double frequency = 0.0;
  double acLimit = 0.0;  // amperes rms
  double dcLimit = 0.0;  // amperes
  bool regulate = true;  // hold the current at a limit by lowering the voltage
};

struct OperatingPoint {
  double acVolts = 0.0;
  double dcVolts = 0.0;
  double acAmps = 0.0;  // rms of the AC component
  double dcAmps = 0.0;
  double frequency = 0.0;    // 0 when there is no AC component to measure
  double powerFactor = 0.0;  // of the AC component
  double crestFactor = 0.0;  // of the AC current
  bool overLimit = false;    // the demand would exceed a current limit
  bool limited = false;      // the output regulates at a current limit
};

// A load the physics can use: positive resistance, no negative inductance,
// a crest factor of at least 1.
Load Sanitized(const Load& load);

OperatingPoint Solve(const OutputDemand& demand, const Load& load);

// Highest instantaneous current: DC plus the peak of the AC component.
double PeakCurrent(const OperatingPoint& point);

}  // namespace zta_sim
