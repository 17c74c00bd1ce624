// The AC power class interfaces of the output phase that the instrument has
// no commands for: protection, impedance and DC generation. Their settings
// keep simulated values; with an instrument every member answers "not
// supported".

#include "acpwr/halvorn_zelta_output_phase.h"
#include "acpwr/member_helpers.h"
#include "acpwr/property_row.h"

namespace hvzelta {

namespace {

const InterfaceMembers kCurrent{IIviACPwrCurrentProtection::kIid, "IIviACPwrCurrentProtection"};
const MemberDescriptor kCurrentConfigure = kCurrent.Method("Configure");
const MemberDescriptor kCurrentReset = kCurrent.Method("Reset");
const auto kCurrentDelay = kCurrent.NotSupported<double>("Delay", Simulation::Store);
const auto kCurrentEnabled = kCurrent.NotSupported<VARIANT_BOOL>("Enabled", Simulation::Store);
const auto kCurrentThreshold = kCurrent.NotSupported<double>("Threshold", Simulation::Store);
const auto kCurrentTripped = kCurrent.NotSupported<VARIANT_BOOL>("Tripped", Simulation::Zero);

const InterfaceMembers kVoltage{IIviACPwrVoltageProtection::kIid, "IIviACPwrVoltageProtection"};
const MemberDescriptor kVoltageConfigure = kVoltage.Method("Configure");
const MemberDescriptor kVoltageReset = kVoltage.Method("Reset");
const auto kVoltageOverEnabled = kVoltage.NotSupported<VARIANT_BOOL>("OverEnabled", Simulation::Store);
const auto kVoltageOverLimit = kVoltage.NotSupported<double>("OverLimit", Simulation::Store);
const auto kVoltageUnderEnabled = kVoltage.NotSupported<VARIANT_BOOL>("UnderEnabled", Simulation::Store);
const auto kVoltageUnderLimit = kVoltage.NotSupported<double>("UnderLimit", Simulation::Store);
const auto kVoltageTripped = kVoltage.NotSupported<VARIANT_BOOL>("Tripped", Simulation::Zero);

const InterfaceMembers kImpedance{IIviACPwrImpedance::kIid, "IIviACPwrImpedance"};
const MemberDescriptor kImpedanceConfigure = kImpedance.Method("Configure");
const MemberDescriptor kImpedanceQueryCapabilities = kImpedance.Method("QueryCapabilities");
const auto kImpedanceEnabled = kImpedance.NotSupported<VARIANT_BOOL>("Enabled", Simulation::Store);
const auto kImpedanceInductive = kImpedance.NotSupported<double>("Inductive", Simulation::Store);
const auto kImpedanceResistive = kImpedance.NotSupported<double>("Resistive", Simulation::Store);

const InterfaceMembers kDC{IIviACPwrDCGeneration::kIid, "IIviACPwrDCGeneration"};
const MemberDescriptor kDCConfigure = kDC.Method("Configure");
const MemberDescriptor kDCConfigureRange = kDC.Method("ConfigureRange");
const MemberDescriptor kDCQueryCapabilities = kDC.Method("QueryCapabilities");
const auto kDCVoltageLevel = kDC.NotSupported<double>("DCVoltageLevel", Simulation::Store);
const auto kDCMode = kDC.NotSupported<IviACPwrDCGenerationEnum>("Mode", Simulation::Store);
const auto kDCNumRanges = kDC.NotSupported<std::int32_t>("NumRanges", Simulation::Zero);
const auto kDCRangeMax = kDC.NotSupported<double>("RangeMax", Simulation::Zero);
const auto kDCRangeMin = kDC.NotSupported<double>("RangeMin", Simulation::Zero);

}  // namespace

HRESULT CurrentProtectionFacet::Configure(VARIANT_BOOL Enabled, double Threshold, double Delay) {
  return UnsupportedMethod(Owner(), kCurrentConfigure,
                           {In("Enabled", Enabled), In("Threshold", Threshold), In("Delay", Delay)},
                           "IIviACPwrCurrentProtection_Configure");
}
HRESULT CurrentProtectionFacet::Reset() {
  return UnsupportedMethod(Owner(), kCurrentReset, {}, "IIviACPwrCurrentProtection_Reset");
}
HVZELTA_PROPERTY_MEMBERS(CurrentProtectionFacet, Delay, double, kCurrentDelay, Owner())
HVZELTA_PROPERTY_MEMBERS(CurrentProtectionFacet, Enabled, VARIANT_BOOL, kCurrentEnabled, Owner())
HVZELTA_PROPERTY_MEMBERS(CurrentProtectionFacet, Threshold, double, kCurrentThreshold, Owner())
HRESULT CurrentProtectionFacet::get_Tripped(VARIANT_BOOL* val) { return GetProperty(Owner(), kCurrentTripped, val); }

HRESULT VoltageProtectionFacet::Configure(VARIANT_BOOL UnderEnabled, VARIANT_BOOL OverEnabled, double UnderLimit,
                                          double OverLimit) {
  return UnsupportedMethod(Owner(), kVoltageConfigure,
                           {In("UnderEnabled", UnderEnabled), In("OverEnabled", OverEnabled),
                            In("UnderLimit", UnderLimit), In("OverLimit", OverLimit)},
                           "Configure");
}
HRESULT VoltageProtectionFacet::Reset() { return UnsupportedMethod(Owner(), kVoltageReset, {}, "Reset"); }
HVZELTA_PROPERTY_MEMBERS(VoltageProtectionFacet, OverEnabled, VARIANT_BOOL, kVoltageOverEnabled, Owner())
HVZELTA_PROPERTY_MEMBERS(VoltageProtectionFacet, OverLimit, double, kVoltageOverLimit, Owner())
HVZELTA_PROPERTY_MEMBERS(VoltageProtectionFacet, UnderEnabled, VARIANT_BOOL, kVoltageUnderEnabled, Owner())
HVZELTA_PROPERTY_MEMBERS(VoltageProtectionFacet, UnderLimit, double, kVoltageUnderLimit, Owner())
HRESULT VoltageProtectionFacet::get_Tripped(VARIANT_BOOL* val) { return GetProperty(Owner(), kVoltageTripped, val); }

HRESULT ImpedanceFacet::Configure(VARIANT_BOOL Enabled, double ResistiveValue, double InductiveValue) {
  return UnsupportedMethod(
      Owner(), kImpedanceConfigure,
      {In("Enabled", Enabled), In("ResistiveValue", ResistiveValue), In("InductiveValue", InductiveValue)},
      "IIviACPwrImpedance_Configure");
}
HRESULT ImpedanceFacet::QueryCapabilities(double* ResistiveMin, double* ResistiveMax, double* InductiveMin,
                                          double* InductiveMax) {
  return UnsupportedMethod(Owner(), kImpedanceQueryCapabilities,
                           {Out("ResistiveMin", ResistiveMin), Out("ResistiveMax", ResistiveMax),
                            Out("InductiveMin", InductiveMin), Out("InductiveMax", InductiveMax)},
                           "IIviACPwrImpedance_QueryCapabilities");
}
HVZELTA_PROPERTY_MEMBERS(ImpedanceFacet, Enabled, VARIANT_BOOL, kImpedanceEnabled, Owner())
HVZELTA_PROPERTY_MEMBERS(ImpedanceFacet, Inductive, double, kImpedanceInductive, Owner())
HVZELTA_PROPERTY_MEMBERS(ImpedanceFacet, Resistive, double, kImpedanceResistive, Owner())

HRESULT DCGenerationFacet::Configure(IviACPwrDCGenerationEnum Mode, double DCVoltageLevel) {
  return UnsupportedMethod(Owner(), kDCConfigure, {In("Mode", Mode), In("DCVoltageLevel", DCVoltageLevel)},
                           "IIviACPwrDCGeneration_Configure");
}
HRESULT DCGenerationFacet::ConfigureRange(double Minimum, double Maximum) {
  return UnsupportedMethod(Owner(), kDCConfigureRange, {In("Minimum", Minimum), In("Maximum", Maximum)},
                           "IIviACPwrDCGeneration_ConfigureRange");
}
HRESULT DCGenerationFacet::QueryCapabilities(std::int32_t, double* Minimum, double* Maximum) {
  return UnsupportedMethod(Owner(), kDCQueryCapabilities, {Out("Minimum", Minimum), Out("Maximum", Maximum)},
                           "IIviACPwrDCGeneration_QueryCapabilities");
}
HVZELTA_PROPERTY_MEMBERS(DCGenerationFacet, DCVoltageLevel, double, kDCVoltageLevel, Owner())
HVZELTA_PROPERTY_MEMBERS(DCGenerationFacet, Mode, IviACPwrDCGenerationEnum, kDCMode, Owner())
HRESULT DCGenerationFacet::get_NumRanges(std::int32_t* val) { return GetProperty(Owner(), kDCNumRanges, val); }
HRESULT DCGenerationFacet::get_RangeMax(double* val) { return GetProperty(Owner(), kDCRangeMax, val); }
HRESULT DCGenerationFacet::get_RangeMin(double* val) { return GetProperty(Owner(), kDCRangeMin, val); }

}  // namespace hvzelta
