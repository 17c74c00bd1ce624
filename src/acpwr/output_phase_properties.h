#pragma once

// The settings of the output phase (IIviACPwrOutputPhase), one row each: the
// single source of their members in OutputPhaseFacet (declared in
// halvorn_zelta_output_phase.h, run in halvorn_zelta_output_phase.cpp) and of
// their rows in the C attribute table (capi/attribute_table.cpp). The columns
// are those of HVZELTA_OUTPUT_PROPERTIES (acpwr/output_properties.h). The
// read-only properties and the waveform, which is text, are written out in
// full beside the table.

// clang-format off
#define HVZELTA_OUTPUT_PHASE_PROPERTIES(X)                                                                            \
  X(CurrentLimit, double, HVZELTA_ATTR_CURRENT_LIMIT, "CURR %0.15lg", "CURR?", "%lf", Store, nullptr, nullptr)      \
  X(Enabled, VARIANT_BOOL, HVZELTA_ATTR_ENABLED, "OUTP %{VARIANT_BOOL}s", "OUTP?", "%{VARIANT_BOOL}[^\n]", Store,  \
    nullptr, nullptr)                                                                                                \
  X(PhaseAngle, double, HVZELTA_ATTR_PHASE_ANGLE, "TRIG:SYNC:PHAS %0.15lg", "TRIG:SYNC:PHAS?", "%lf", Store,       \
    nullptr, nullptr)                                                                                                \
  X(VoltageLevel, double, HVZELTA_ATTR_VOLTAGE_LEVEL, "VOLT %0.15lg", "VOLT?", "%lf", Store, nullptr, nullptr)      \
  X(VoltageRange, double, HVZELTA_ATTR_VOLTAGE_RANGE, "VOLT:RANG %0.15lg", "", "", Store, &GetVoltageRange,         \
    &PutVoltageRange)
// clang-format on
