#pragma once

// The settings of the output, one row each: the single source of the
// output's property members (declared in halvorn_zelta_output.h, run in
// halvorn_zelta_output.cpp), of the C functions hvzelta_Get<Name> and
// hvzelta_Set<Name> (capi/output_functions.cpp), of the output's rows in the
// C attribute table (capi/attribute_table.cpp), and of their published
// declarations, which cmake/output_settings.cmake writes from these rows.
// docs/adding-a-property.md walks through adding one.
//
// X(Name, Type, Attribute, Write, Query, Response, Simulation, GetHook, PutHook)
//   Name        the property: get_<Name>/put_<Name> of IHalvornZeltaOutput
//   Type        its value type in the object interface; the C type follows
//   Attribute   the number of its HVZELTA_ATTR_OUTPUT_<NAME> identifier, or 0
//               when it has none
//   Write       the setter's command format ("" when a hook writes)
//   Query       the getter's query, Response the format its reply is read with
//   Simulation  None, Store or Zero (see acpwr/property_row.h)
//   GetHook     a function replacing the default query, or nullptr
//   PutHook     a function sending the formatted command instead, or nullptr
// Hooks are defined in halvorn_zelta_output.cpp, above the expansion.

// clang-format off
#define HVZELTA_OUTPUT_PROPERTIES(X)                                                                                  \
  X(AmmeterItem, HalvornZeltaAmmeterItemEnum, 0, "", "", "", Zero, &GetAmmeterItem, &PutAmmeterItem)                  \
  X(Average, HalvornZeltaAverageEnum, 1150019, "", "", "", Store, &GetAverage, &PutAverage)                           \
  X(AverageEnabled, VARIANT_BOOL, 0, "", "", "", None, &GetAverageEnabled, nullptr)                                   \
  X(ContinuousMeasurement, VARIANT_BOOL, 1150004,                                                                     \
    "INIT:CONT:ACQ %{VARIANT_BOOL}s", "INIT:CONT:ACQ?", "%{VARIANT_BOOL}[^\n]", Store, nullptr, nullptr)              \
  X(CouplingMode, HalvornZeltaCouplingModeEnum, 0, "OUTP:COUP %{HalvornZeltaCouplingModeEnum}s", "OUTP:COUP?",        \
    "%{HalvornZeltaCouplingModeEnum}[^\n]", None, nullptr, nullptr)                                                   \
  X(CurrentLimit, double, 1150005, "CURR %0.15lg", "CURR?", "%@3lf", Store, nullptr,                                  \
    nullptr)                                                                                                          \
  X(CurrentLimitBehavior, HalvornZeltaCurrentLimitBehaviorEnum, 0,                                                    \
    "CURR:PROT:STAT %{HalvornZeltaCurrentLimitBehaviorEnum}s", "CURR:PROT:STAT?",                                     \
    "%{HalvornZeltaCurrentLimitBehaviorEnum}[^\n]", None, nullptr, nullptr)                                           \
  X(CurrentOffset, double, 1150006, "CURR:OFFS %0.15lg", "CURR:OFFS?", "%lf", Store,                                  \
    nullptr, nullptr)                                                                                                 \
  X(Enabled, VARIANT_BOOL, 0, "OUTP %{VARIANT_BOOL}s", "OUTP?", "%{VARIANT_BOOL}[^\n]", None, nullptr, nullptr)       \
  X(Frequency, double, 1150008, "FREQ %0.15lg", "FREQ?", "%lf", Store, nullptr, nullptr)                              \
  X(HoldTime, HalvornZeltaHoldTimeEnum, 0, "", "", "", None, &GetHoldTime, &PutHoldTime)                              \
  X(SyncEnabled, VARIANT_BOOL, 1150009, "TRIG:SYNC:SOUR %{VARIANT_BOOL}s",                                            \
    "TRIG:SYNC:SOUR?", "%{VARIANT_BOOL}[^\n]", Store, nullptr, nullptr)                                               \
  X(SyncPhase, double, 1150010, "TRIG:SYNC:PHAS %0.15lg", "TRIG:SYNC:PHAS?", "%lf", Store,                            \
    nullptr, nullptr)                                                                                                 \
  X(TriggerAcquireSource, HalvornZeltaTriggerSourceEnum, 1150017,                                                     \
    "TRIG:ACQ:SOUR %{HalvornZeltaTriggerSourceEnum}s", "TRIG:ACQ:SOUR?", "%{HalvornZeltaTriggerSourceEnum}[^\n]",     \
    Store, nullptr, nullptr)                                                                                          \
  X(TriggerSource, HalvornZeltaTriggerSourceEnum, 1150014,                                                            \
    "TRIG:TRAN:SOUR %{HalvornZeltaTriggerSourceEnum}s", "TRIG:TRAN:SOUR?", "%{HalvornZeltaTriggerSourceEnum}[^\n]",   \
    None, nullptr, nullptr)                                                                                           \
  X(TriggerTransientSource, HalvornZeltaTriggerSourceEnum, 1150018,                                                   \
    "TRIG:TRAN:SOUR %{HalvornZeltaTriggerSourceEnum}s", "TRIG:TRAN:SOUR?", "%{HalvornZeltaTriggerSourceEnum}[^\n]",   \
    Store, nullptr, nullptr)                                                                                          \
  X(TriggeredFrequency, double, 1150012, "FREQ:TRIG %0.15lg", "FREQ:TRIG?", "%lf",                                    \
    Store, nullptr, nullptr)                                                                                          \
  X(TriggeredVoltageLevel, double, 1150013, "VOLT:TRIG %0.15lg", "VOLT:TRIG?",                                        \
    "%lf", Store, nullptr, nullptr)                                                                                   \
  X(TriggeredVoltageOffset, double, 1150011, "VOLT:OFFS:TRIG %0.15lg",                                                \
    "VOLT:OFFS:TRIG?", "%lf", Store, nullptr, nullptr)                                                                \
  X(VoltageLevel, double, 1150016, "VOLT %0.15lg", "VOLT?", "%lf", Store, nullptr,                                    \
    nullptr)                                                                                                          \
  X(VoltageOffset, double, 1150007, "VOLT:OFFS %0.15lg", "VOLT:OFFS?", "%lf", Store,                                  \
    nullptr, nullptr)                                                                                                 \
  X(VoltageRange, double, 1150015, "VOLT:RANG %0.15lg", "VOLT:RANG?", "%lf", Store,                                   \
    nullptr, nullptr)
// clang-format on
