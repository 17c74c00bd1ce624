// The attribute table: one row per C attribute, naming the property it reads
// and writes and what the channel name selects; the rows of the output's and
// the output phase's settings come from their property tables. The readers and writers are
// made from the property members, so a row is all an attribute needs.

#include <algorithm>
#include <array>
#include <type_traits>

#include "acpwr/output_phase_properties.h"
#include "acpwr/output_properties.h"
#include "capi/attribute_map.h"
#include "capi/c_frame.h"

namespace hvzelta::capi {

namespace {

template <class Raw>
consteval AttributeType TypeOf() {
  if constexpr (std::is_same_v<Raw, double>) {
    return AttributeType::Real64;
  } else if constexpr (std::is_same_v<Raw, VARIANT_BOOL>) {
    return AttributeType::Boolean;
  } else if constexpr (std::is_same_v<Raw, BSTR>) {
    return AttributeType::String;
  } else {
    static_assert(std::is_same_v<CTypeOf<Raw>, ViInt32>);
    return AttributeType::Int32;
  }
}

template <class Target, auto Getter>
ViStatus ReadProperty(ViSession vi, const char* channelName, void* value, ViInt32 bufferSize) {
  using Raw = GetterValue<decltype(Getter)>;
  if constexpr (std::is_same_v<Raw, BSTR>) {
    return GetTextProperty<Target>(vi, channelName, bufferSize, static_cast<ViChar*>(value), Getter);
  } else {
    return GetProperty<Target>(vi, channelName, static_cast<CTypeOf<Raw>*>(value), "AttributeValue", Getter);
  }
}

template <class Target, auto Setter>
ViStatus WriteProperty(ViSession vi, const char* channelName, const void* value) {
  using Raw = SetterValue<decltype(Setter)>;
  if constexpr (std::is_same_v<Raw, BSTR>) {
    return SetTextProperty<Target>(vi, channelName, *static_cast<const ViConstString*>(value), Setter);
  } else {
    return SetProperty<Target>(vi, channelName, *static_cast<const CTypeOf<Raw>*>(value), Setter);
  }
}

template <class Target, auto Getter, auto Setter = nullptr>
consteval AttributeEntry Attribute(ViAttr id) {
  AttributeWriter writer = nullptr;
  if constexpr (!std::is_null_pointer_v<decltype(Setter)>) writer = &WriteProperty<Target, Setter>;
  return {id, TypeOf<GetterValue<decltype(Getter)>>(), &ReadProperty<Target, Getter>, writer};
}

// The driver's C prefix needs no driver at all.
ViStatus ReadPrefix(ViSession, const char*, void* value, ViInt32 bufferSize) {
  return CopyStringOut("hvzelta", static_cast<ViChar*>(value), bufferSize);
}

using Operation = Root<IIviDriverOperation>;
using Identity = Root<IIviDriverIdentity>;
using AnyIdentity = IdentityOfAnySession;
using System = Root<IHalvornZeltaSystem>;
using OutputCollection = Root<IHalvornZeltaOutputs>;
using PhaseCollection = Root<IIviACPwrOutputPhases>;
using Arb = Root<IIviACPwrArbWaveform>;
using Sync = Root<IIviACPwrExternalSync>;
using CurrentProtection = PhaseParts<IIviACPwrCurrentProtection>;
using VoltageProtection = PhaseParts<IIviACPwrVoltageProtection>;
using Impedance = PhaseParts<IIviACPwrImpedance>;
using DCGeneration = PhaseParts<IIviACPwrDCGeneration>;
using Output = IHalvornZeltaOutput;
using Phase = IIviACPwrOutputPhase;

// The attributes written out one by one; those of the property tables follow.
constexpr std::array kFixedAttributes = {
    Attribute<Operation, &IIviDriverOperation::get_RangeCheck, &IIviDriverOperation::put_RangeCheck>(
        HVZELTA_ATTR_RANGE_CHECK),
    Attribute<Operation, &IIviDriverOperation::get_QueryInstrumentStatus,
              &IIviDriverOperation::put_QueryInstrumentStatus>(HVZELTA_ATTR_QUERY_INSTRUMENT_STATUS),
    Attribute<Operation, &IIviDriverOperation::get_Cache, &IIviDriverOperation::put_Cache>(HVZELTA_ATTR_CACHE),
    Attribute<Operation, &IIviDriverOperation::get_Simulate, &IIviDriverOperation::put_Simulate>(HVZELTA_ATTR_SIMULATE),
    Attribute<Operation, &IIviDriverOperation::get_RecordCoercions, &IIviDriverOperation::put_RecordCoercions>(
        HVZELTA_ATTR_RECORD_COERCIONS),
    Attribute<Operation, &IIviDriverOperation::get_DriverSetup>(HVZELTA_ATTR_DRIVER_SETUP),
    Attribute<Operation, &IIviDriverOperation::get_InterchangeCheck, &IIviDriverOperation::put_InterchangeCheck>(
        HVZELTA_ATTR_INTERCHANGE_CHECK),
    AttributeEntry{HVZELTA_ATTR_SPECIFIC_DRIVER_PREFIX, AttributeType::String, &ReadPrefix, nullptr},
    Attribute<Operation, &IIviDriverOperation::get_IoResourceDescriptor>(HVZELTA_ATTR_IO_RESOURCE_DESCRIPTOR),
    Attribute<Operation, &IIviDriverOperation::get_LogicalName>(HVZELTA_ATTR_LOGICAL_NAME),
    Attribute<AnyIdentity, &IIviDriverIdentity::get_SupportedInstrumentModels>(
        HVZELTA_ATTR_SUPPORTED_INSTRUMENT_MODELS),
    Attribute<AnyIdentity, &IIviDriverIdentity::get_GroupCapabilities>(HVZELTA_ATTR_GROUP_CAPABILITIES),
    Attribute<Identity, &IIviDriverIdentity::get_InstrumentFirmwareRevision>(HVZELTA_ATTR_INSTRUMENT_FIRMWARE_REVISION),
    Attribute<Identity, &IIviDriverIdentity::get_InstrumentManufacturer>(HVZELTA_ATTR_INSTRUMENT_MANUFACTURER),
    Attribute<Identity, &IIviDriverIdentity::get_InstrumentModel>(HVZELTA_ATTR_INSTRUMENT_MODEL),
    Attribute<AnyIdentity, &IIviDriverIdentity::get_Vendor>(HVZELTA_ATTR_SPECIFIC_DRIVER_VENDOR),
    Attribute<AnyIdentity, &IIviDriverIdentity::get_Description>(HVZELTA_ATTR_SPECIFIC_DRIVER_DESCRIPTION),
    Attribute<AnyIdentity, &IIviDriverIdentity::get_SpecificationMajorVersion>(
        HVZELTA_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION),
    Attribute<AnyIdentity, &IIviDriverIdentity::get_SpecificationMinorVersion>(
        HVZELTA_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION),
    Attribute<AnyIdentity, &IIviDriverIdentity::get_Revision>(HVZELTA_ATTR_SPECIFIC_DRIVER_REVISION),

    Attribute<System, &IHalvornZeltaSystem::get_IOTimeout, &IHalvornZeltaSystem::put_IOTimeout>(
        HVZELTA_ATTR_IO_TIMEOUT),
    Attribute<OutputCollection, &IHalvornZeltaOutputs::get_Count>(HVZELTA_ATTR_OUTPUT_COUNT),

    Attribute<PhaseCollection, &IIviACPwrOutputPhases::get_Frequency, &IIviACPwrOutputPhases::put_Frequency>(
        HVZELTA_ATTR_FREQUENCY),
    Attribute<PhaseCollection, &IIviACPwrOutputPhases::get_NumPhases>(HVZELTA_ATTR_NUM_PHASES),
    Attribute<PhaseCollection, &IIviACPwrOutputPhases::get_NumFrequencyRanges>(HVZELTA_ATTR_NUM_FREQUENCY_RANGES),
    Attribute<PhaseCollection, &IIviACPwrOutputPhases::get_FrequencyRange, &IIviACPwrOutputPhases::put_FrequencyRange>(
        HVZELTA_ATTR_FREQUENCY_RANGE),
    Attribute<Arb, &IIviACPwrArbWaveform::get_NumWaveformsMax>(HVZELTA_ATTR_ARB_NUM_WAVEFORMS_MAX),
    Attribute<Arb, &IIviACPwrArbWaveform::get_NumOptimalDataPoints>(HVZELTA_ATTR_ARB_NUM_OPTIMAL_DATA_POINTS),
    Attribute<Arb, &IIviACPwrArbWaveform::get_FixedWaveformCount>(HVZELTA_ATTR_ARB_FIXED_WAVEFORM_COUNT),
    Attribute<Arb, &IIviACPwrArbWaveform::get_UserWaveformCount>(HVZELTA_ATTR_ARB_USER_WAVEFORM_COUNT),
    Attribute<Arb, &IIviACPwrArbWaveform::get_AvailableWaveformCount>(HVZELTA_ATTR_ARB_AVAILABLE_WAVEFORM_COUNT),
    Attribute<Sync, &IIviACPwrExternalSync::get_Enabled, &IIviACPwrExternalSync::put_Enabled>(
        HVZELTA_ATTR_EXTERNAL_SYNC_ENABLED),
    Attribute<Sync, &IIviACPwrExternalSync::get_PhaseOffset, &IIviACPwrExternalSync::put_PhaseOffset>(
        HVZELTA_ATTR_EXTERNAL_SYNC_PHASE_OFFSET),
    Attribute<Sync, &IIviACPwrExternalSync::get_Locked>(HVZELTA_ATTR_EXTERNAL_SYNC_LOCKED),
    Attribute<Phases, &Phase::get_NumVoltageRanges>(HVZELTA_ATTR_NUM_VOLTAGE_RANGES),
    Attribute<Phases, &Phase::get_Waveform, &Phase::put_Waveform>(HVZELTA_ATTR_WAVEFORM),
    Attribute<Impedance, &IIviACPwrImpedance::get_Inductive, &IIviACPwrImpedance::put_Inductive>(
        HVZELTA_ATTR_IMPEDANCE_INDUCTIVE),
    Attribute<Impedance, &IIviACPwrImpedance::get_Enabled, &IIviACPwrImpedance::put_Enabled>(
        HVZELTA_ATTR_IMPEDANCE_ENABLED),
    Attribute<Impedance, &IIviACPwrImpedance::get_Resistive, &IIviACPwrImpedance::put_Resistive>(
        HVZELTA_ATTR_IMPEDANCE_RESISTIVE),
    Attribute<CurrentProtection, &IIviACPwrCurrentProtection::get_Delay, &IIviACPwrCurrentProtection::put_Delay>(
        HVZELTA_ATTR_CURRENT_PROTECTION_DELAY),
    Attribute<CurrentProtection, &IIviACPwrCurrentProtection::get_Enabled, &IIviACPwrCurrentProtection::put_Enabled>(
        HVZELTA_ATTR_CURRENT_PROTECTION_ENABLED),
    Attribute<CurrentProtection, &IIviACPwrCurrentProtection::get_Threshold,
              &IIviACPwrCurrentProtection::put_Threshold>(HVZELTA_ATTR_CURRENT_PROTECTION_THRESHOLD),
    Attribute<CurrentProtection, &IIviACPwrCurrentProtection::get_Tripped>(HVZELTA_ATTR_CURRENT_PROTECTION_TRIPPED),
    Attribute<VoltageProtection, &IIviACPwrVoltageProtection::get_OverEnabled,
              &IIviACPwrVoltageProtection::put_OverEnabled>(HVZELTA_ATTR_VOLTAGE_PROTECTION_OVER_ENABLED),
    Attribute<VoltageProtection, &IIviACPwrVoltageProtection::get_OverLimit,
              &IIviACPwrVoltageProtection::put_OverLimit>(HVZELTA_ATTR_VOLTAGE_PROTECTION_OVER_LIMIT),
    Attribute<VoltageProtection, &IIviACPwrVoltageProtection::get_UnderEnabled,
              &IIviACPwrVoltageProtection::put_UnderEnabled>(HVZELTA_ATTR_VOLTAGE_PROTECTION_UNDER_ENABLED),
    Attribute<VoltageProtection, &IIviACPwrVoltageProtection::get_UnderLimit,
              &IIviACPwrVoltageProtection::put_UnderLimit>(HVZELTA_ATTR_VOLTAGE_PROTECTION_UNDER_LIMIT),
    Attribute<VoltageProtection, &IIviACPwrVoltageProtection::get_Tripped>(HVZELTA_ATTR_VOLTAGE_PROTECTION_TRIPPED),
    Attribute<DCGeneration, &IIviACPwrDCGeneration::get_Mode, &IIviACPwrDCGeneration::put_Mode>(
        HVZELTA_ATTR_DC_GENERATION_MODE),
    Attribute<DCGeneration, &IIviACPwrDCGeneration::get_DCVoltageLevel, &IIviACPwrDCGeneration::put_DCVoltageLevel>(
        HVZELTA_ATTR_DC_VOLTAGE_LEVEL),
    Attribute<DCGeneration, &IIviACPwrDCGeneration::get_NumRanges>(HVZELTA_ATTR_DC_GENERATION_NUM_RANGES),
    Attribute<PhaseCollection, &IIviACPwrOutputPhases::get_Count>(HVZELTA_ATTR_OUTPUT_PHASE_COUNT),
    Attribute<Phases, &Phase::get_VoltageRampBusy>(HVZELTA_ATTR_VOLTAGE_RAMP_BUSY),
    Attribute<Phases, &Phase::get_CurrentRampBusy>(HVZELTA_ATTR_CURRENT_RAMP_BUSY),
    Attribute<PhaseCollection, &IIviACPwrOutputPhases::get_FrequencyRampBusy>(HVZELTA_ATTR_FREQUENCY_RAMP_BUSY),
    Attribute<DCGeneration, &IIviACPwrDCGeneration::get_RangeMin>(HVZELTA_ATTR_DC_GENERATION_RANGE_MIN),
    Attribute<DCGeneration, &IIviACPwrDCGeneration::get_RangeMax>(HVZELTA_ATTR_DC_GENERATION_RANGE_MAX),
};

// The output's settings that have an identifier (0 marks those that have
// none), and the output phase's settings.
#define HVZ_OUTPUT_ATTRIBUTE(Name, Type, Id, ...) Attribute<Outputs, &Output::get_##Name, &Output::put_##Name>(Id),
#define HVZ_PHASE_ATTRIBUTE(Name, Type, Id, ...) Attribute<Phases, &Phase::get_##Name, &Phase::put_##Name>(Id),
constexpr std::array kTableAttributes = {HVZELTA_OUTPUT_PROPERTIES(HVZ_OUTPUT_ATTRIBUTE)
                                             HVZELTA_OUTPUT_PHASE_PROPERTIES(HVZ_PHASE_ATTRIBUTE)};
#undef HVZ_PHASE_ATTRIBUTE
#undef HVZ_OUTPUT_ATTRIBUTE

constexpr bool HasIdentifier(const AttributeEntry& entry) { return entry.id != 0; }

// All of them, sorted by identifier for the lookup.
constexpr auto kAttributes = [] {
  constexpr auto kFromTables =
      static_cast<std::size_t>(std::count_if(kTableAttributes.begin(), kTableAttributes.end(), &HasIdentifier));
  std::array<AttributeEntry, kFixedAttributes.size() + kFromTables> all{};
  auto end = std::copy(kFixedAttributes.begin(), kFixedAttributes.end(), all.begin());
  std::copy_if(kTableAttributes.begin(), kTableAttributes.end(), end, &HasIdentifier);
  std::sort(all.begin(), all.end(), [](const AttributeEntry& a, const AttributeEntry& b) { return a.id < b.id; });
  return all;
}();

static_assert(std::adjacent_find(kAttributes.begin(), kAttributes.end(),
                                 [](const AttributeEntry& a, const AttributeEntry& b) { return a.id == b.id; }) ==
              kAttributes.end());

}  // namespace

std::span<const AttributeEntry> AttributeTable() { return kAttributes; }

}  // namespace hvzelta::capi
