#pragma once

// The settings of the output, one row each: the single source of the
// output's property members (declared in halvorn_zelta_output.h, run in
// halvorn_zelta_output.cpp), of the C functions hvzelta_Get<Name> and
// hvzelta_Set<Name> (capi/output_functions.cpp) and of the output's rows in
// the C attribute table (capi/attribute_table.cpp). docs/adding-a-property.md
// walks through adding one.
//
// X(Name, Type, Attribute, Write, Query, Response, Simulation, GetHook, PutHook)
//   Name        the property: get_<Name>/put_<Name> of IHalvornZeltaOutput
//   Type        its value type in the object interface; the C type follows
//   Attribute   its HVZELTA_ATTR_OUTPUT_* identifier, or 0 when it has none
//   Write       the setter's command format ("" when a hook writes)
//   Query       the getter's query, Response the format its reply is read with
//   Simulation  None, Store or Zero (see acpwr/property_row.h)
//   GetHook     a function replacing the default query, or nullptr
//   PutHook     a function sending the formatted command instead, or nullptr
// Hooks are defined in halvorn_zelta_output.cpp, above the expansion.

// clang-format off
#define HVZELTA_OUTPUT_PROPERTIES(X)                                                                                  \
  X(AmmeterItem, HalvornZeltaAmmeterItemEnum, 0, "", "", "", Zero, &GetAmmeterItem, &PutAmmeterItem)                 \
  X(Average, HalvornZeltaAverageEnum, HVZELTA_ATTR_OUTPUT_AVERAGE, "", "", "", Store, &GetAverage, &PutAverage)       \
  X(AverageEnabled, VARIANT_BOOL, 0, "", "", "", None, &GetAverageEnabled, nullptr)                                  \
  X(ContinuousMeasurement, VARIANT_BOOL, HVZELTA_ATTR_OUTPUT_CONTINUOUS_MEASUREMENT,                                 \
    "INIT:CONT:ACQ %{VARIANT_BOOL}s", "INIT:CONT:ACQ?", "%{VARIANT_BOOL}[^\n]", Store, nullptr, nullptr)             \
  X(CouplingMode, HalvornZeltaCouplingModeEnum, 0, "OUTP:COUP %{HalvornZeltaCouplingModeEnum}s", "OUTP:COUP?",      \
    "%{HalvornZeltaCouplingModeEnum}[^\n]", None, nullptr, nullptr)                                                  \
  X(CurrentLimit, double, HVZELTA_ATTR_OUTPUT_CURRENT_LIMIT, "CURR %0.15lg", "CURR?", "%@3lf", Store, nullptr,      \
    nullptr)                                                                                                         \
  X(CurrentLimitBehavior, HalvornZeltaCurrentLimitBehaviorEnum, 0,                                                   \
    "CURR:PROT:STAT %{HalvornZeltaCurrentLimitBehaviorEnum}s", "CURR:PROT:STAT?",                                    \
    "%{HalvornZeltaCurrentLimitBehaviorEnum}[^\n]", None, nullptr, nullptr)                                          \
  X(CurrentOffset, double, HVZELTA_ATTR_OUTPUT_CURRENT_OFFSET, "CURR:OFFS %0.15lg", "CURR:OFFS?", "%lf", Store,     \
    nullptr, nullptr)                                                                                                \
  X(Enabled, VARIANT_BOOL, 0, "OUTP %{VARIANT_BOOL}s", "OUTP?", "%{VARIANT_BOOL}[^\n]", None, nullptr, nullptr)     \
  X(Frequency, double, HVZELTA_ATTR_OUTPUT_FREQUENCY, "FREQ %0.15lg", "FREQ?", "%lf", Store, nullptr, nullptr)      \
  X(HoldTime, HalvornZeltaHoldTimeEnum, 0, "", "", "", None, &GetHoldTime, &PutHoldTime)                            \
  X(SyncEnabled, VARIANT_BOOL, HVZELTA_ATTR_OUTPUT_SYNC_ENABLED, "TRIG:SYNC:SOUR %{VARIANT_BOOL}s",                  \
    "TRIG:SYNC:SOUR?", "%{VARIANT_BOOL}[^\n]", Store, nullptr, nullptr)                                              \
  X(SyncPhase, double, HVZELTA_ATTR_OUTPUT_SYNC_PHASE, "TRIG:SYNC:PHAS %0.15lg", "TRIG:SYNC:PHAS?", "%lf", Store,   \
    nullptr, nullptr)                                                                                                \
  X(TriggerAcquireSource, HalvornZeltaTriggerSourceEnum, HVZELTA_ATTR_OUTPUT_TRIGGER_ACQUIRE_SOURCE,                 \
    "TRIG:ACQ:SOUR %{HalvornZeltaTriggerSourceEnum}s", "TRIG:ACQ:SOUR?", "%{HalvornZeltaTriggerSourceEnum}[^\n]",    \
    Store, nullptr, nullptr)                                                                                         \
  X(TriggerSource, HalvornZeltaTriggerSourceEnum, HVZELTA_ATTR_OUTPUT_TRIGGER_SOURCE,                                \
    "TRIG:TRAN:SOUR %{HalvornZeltaTriggerSourceEnum}s", "TRIG:TRAN:SOUR?", "%{HalvornZeltaTriggerSourceEnum}[^\n]",  \
    None, nullptr, nullptr)                                                                                          \
  X(TriggerTransientSource, HalvornZeltaTriggerSourceEnum, HVZELTA_ATTR_OUTPUT_TRIGGER_TRANSIENT_SOURCE,             \
    "TRIG:TRAN:SOUR %{HalvornZeltaTriggerSourceEnum}s", "TRIG:TRAN:SOUR?", "%{HalvornZeltaTriggerSourceEnum}[^\n]",  \
    Store, nullptr, nullptr)                                                                                         \
  X(TriggeredFrequency, double, HVZELTA_ATTR_OUTPUT_TRIGGERED_FREQUENCY, "FREQ:TRIG %0.15lg", "FREQ:TRIG?", "%lf",  \
    Store, nullptr, nullptr)                                                                                         \
  X(TriggeredVoltageLevel, double, HVZELTA_ATTR_OUTPUT_TRIGGERED_VOLTAGE_LEVEL, "VOLT:TRIG %0.15lg", "VOLT:TRIG?",   \
    "%lf", Store, nullptr, nullptr)                                                                                  \
  X(TriggeredVoltageOffset, double, HVZELTA_ATTR_OUTPUT_TRIGGERED_VOLTAGE_OFFSET, "VOLT:OFFS:TRIG %0.15lg",          \
    "VOLT:OFFS:TRIG?", "%lf", Store, nullptr, nullptr)                                                               \
  X(VoltageLevel, double, HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, "VOLT %0.15lg", "VOLT?", "%lf", Store, nullptr,        \
    nullptr)                                                                                                         \
  X(VoltageOffset, double, HVZELTA_ATTR_OUTPUT_VOLTAGE_OFFSET, "VOLT:OFFS %0.15lg", "VOLT:OFFS?", "%lf", Store,     \
    nullptr, nullptr)                                                                                                \
  X(VoltageRange, double, HVZELTA_ATTR_OUTPUT_VOLTAGE_RANGE, "VOLT:RANG %0.15lg", "VOLT:RANG?", "%lf", Store,       \
    nullptr, nullptr)
// clang-format on
