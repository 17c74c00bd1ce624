#include "acpwr/halvorn_zelta_output_phase.h"

#include <string>

#include "acpwr/member_exchange.h"
#include "acpwr/member_helpers.h"
#include "acpwr/property_row.h"
#include "core/interface_table.h"

namespace hvzelta {

HRESULT HalvornZeltaOutputPhase::QueryInterface(const IID& iid, void** object) {
  auto* self = static_cast<IHalvornZeltaOutputPhase*>(this);
  const HRESULT hr = FindInterface(
      {
          {IID_IUnknown, self},
          {IHalvornZeltaOutputPhase::kIid, self},
          {IIviACPwrOutputPhase::kIid, static_cast<IIviACPwrOutputPhase*>(&outputPhase_)},
          {IIviACPwrCurrentProtection::kIid, static_cast<IIviACPwrCurrentProtection*>(&currentProtection_)},
          {IIviACPwrVoltageProtection::kIid, static_cast<IIviACPwrVoltageProtection*>(&voltageProtection_)},
          {IIviACPwrImpedance::kIid, static_cast<IIviACPwrImpedance*>(&impedance_)},
          {IIviACPwrDCGeneration::kIid, static_cast<IIviACPwrDCGeneration*>(&dcGeneration_)},
      },
      iid, object);
  if (Succeeded(hr)) AddRef();
  return hr;
}

namespace {

using Phase = IIviACPwrOutputPhase;
constexpr std::string_view kInterface = "IIviACPwrOutputPhase";

const InterfaceMembers kMembers{Phase::kIid, kInterface};

// The instrument has two voltage ranges; a value selects the smallest range
// that holds it.
HRESULT PutVoltageRange(CNode& node, double val, std::string_view) {
  if (val >= 0.0 && val <= 155.0) return DefaultWrite(node, "VOLT:RANG 155");
  if (val > 155.0 && val <= 310.0) return DefaultWrite(node, "VOLT:RANG 310");
  return E_INVALIDARG;
}

HRESULT GetVoltageRange(CNode& node, double* val) { return QueryReal(node, "VOLT:RANG?", *val); }

// The rows of HVZELTA_OUTPUT_PHASE_PROPERTIES, named k<Name>.
#define HVZ_ROW(Name, Type, Attribute, Write, Query, Response, Simulated, GetHook, PutHook) \
  const auto k##Name = kMembers.Row<Type>(#Name, Write, Query, Response, Simulation::Simulated, GetHook, PutHook);
HVZELTA_OUTPUT_PHASE_PROPERTIES(HVZ_ROW)
#undef HVZ_ROW

const auto kNumVoltageRanges = kMembers.Row<std::int32_t>(
    "NumVoltageRanges", "", "", "", Simulation::Zero, +[](CNode&, std::int32_t* val) {
      *val = 2;
      return S_OK;
    });
const auto kCurrentRampBusy = kMembers.NotSupported<VARIANT_BOOL>("CurrentRampBusy", Simulation::Zero);
const auto kVoltageRampBusy = kMembers.NotSupported<VARIANT_BOOL>("VoltageRampBusy", Simulation::Zero);

// The one waveform the instrument makes.
constexpr std::wstring_view kSine = L"Sign";
const MemberDescriptor kGetWaveform = kMembers.Member(MemberKind::Getter, "Waveform");
const MemberDescriptor kPutWaveform = kMembers.Member(MemberKind::Putter, "Waveform");

const MemberDescriptor kGetCurrentProtection =
    kMembers.Member(MemberKind::Getter, "CurrentProtection", InitCheck::Exempt);
const MemberDescriptor kGetVoltageProtection =
    kMembers.Member(MemberKind::Getter, "VoltageProtection", InitCheck::Exempt);
const MemberDescriptor kGetImpedance = kMembers.Member(MemberKind::Getter, "Impedance", InitCheck::Exempt);
const MemberDescriptor kGetDCGeneration = kMembers.Member(MemberKind::Getter, "DCGeneration", InitCheck::Exempt);
const MemberDescriptor kRampVoltage = kMembers.Member(MemberKind::Method, "RampVoltage");
const MemberDescriptor kRampCurrent = kMembers.Member(MemberKind::Method, "RampCurrent");
const MemberDescriptor kAbortVoltageRamp = kMembers.Member(MemberKind::Method, "AbortVoltageRamp");
const MemberDescriptor kAbortCurrentRamp = kMembers.Member(MemberKind::Method, "AbortCurrentRamp");
const MemberDescriptor kFetchMeasurement = kMembers.Member(MemberKind::Method, "FetchMeasurement");
const MemberDescriptor kFetchMeasurementArray = kMembers.Member(MemberKind::Method, "FetchMeasurementArray");
const MemberDescriptor kQueryVoltageRangeCapabilities =
    kMembers.Member(MemberKind::Method, "QueryVoltageRangeCapabilities");

}  // namespace

#define HVZ_PROPERTY(Name, Type, ...) HVZELTA_PROPERTY_MEMBERS(OutputPhaseFacet, Name, Type, k##Name, Owner())
HVZELTA_OUTPUT_PHASE_PROPERTIES(HVZ_PROPERTY)
#undef HVZ_PROPERTY

HRESULT OutputPhaseFacet::get_NumVoltageRanges(std::int32_t* val) {
  return GetProperty<std::int32_t>(Owner(), kNumVoltageRanges, val);
}
HRESULT OutputPhaseFacet::get_CurrentRampBusy(VARIANT_BOOL* val) {
  return GetProperty<VARIANT_BOOL>(Owner(), kCurrentRampBusy, val);
}
HRESULT OutputPhaseFacet::get_VoltageRampBusy(VARIANT_BOOL* val) {
  return GetProperty<VARIANT_BOOL>(Owner(), kVoltageRampBusy, val);
}

HRESULT OutputPhaseFacet::get_Waveform(BSTR* val) {
  CNode& node = Owner();
  return node.RunFrame(kGetWaveform, {Out("val", val)}, [&] {
    std::wstring text(kSine);
    if (node.Settings().simulate) text = node.Attributes().Entry<std::wstring>(kGetWaveform.ContextName()).Load();
    *val = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
    return *val ? S_OK : node.Reporter().Report(Message::OutOfMemory);
  });
}

HRESULT OutputPhaseFacet::put_Waveform(BSTR val) {
  CNode& node = Owner();
  return node.RunFrame(kPutWaveform, {In("val", val)}, [&] {
    if (node.Settings().simulate) {
      node.Attributes().Entry<std::wstring>(kPutWaveform.ContextName()).Store(std::wstring(BstrView(val)));
      return S_OK;
    }
    return BstrView(val) == kSine ? S_OK : E_ACCESSDENIED;
  });
}

HRESULT OutputPhaseFacet::get_CurrentProtection(IIviACPwrCurrentProtection** val) {
  return GetSubObject<IIviACPwrCurrentProtection>(Owner(), kGetCurrentProtection, val, &Owner().CurrentProtection());
}
HRESULT OutputPhaseFacet::get_VoltageProtection(IIviACPwrVoltageProtection** val) {
  return GetSubObject<IIviACPwrVoltageProtection>(Owner(), kGetVoltageProtection, val, &Owner().VoltageProtection());
}
HRESULT OutputPhaseFacet::get_Impedance(IIviACPwrImpedance** val) {
  return GetSubObject<IIviACPwrImpedance>(Owner(), kGetImpedance, val, &Owner().Impedance());
}
HRESULT OutputPhaseFacet::get_DCGeneration(IIviACPwrDCGeneration** val) {
  return GetSubObject<IIviACPwrDCGeneration>(Owner(), kGetDCGeneration, val, &Owner().DCGeneration());
}

HRESULT OutputPhaseFacet::RampVoltage(double StartVoltage, double EndVoltage, double Duration) {
  return UnsupportedMethod(Owner(), kRampVoltage,
                           {In("StartVoltage", StartVoltage), In("EndVoltage", EndVoltage), In("Duration", Duration)},
                           "IIviACPwrOutputPhase_RampVoltage");
}
HRESULT OutputPhaseFacet::RampCurrent(double StartCurrent, double EndCurrent, double Duration) {
  return UnsupportedMethod(Owner(), kRampCurrent,
                           {In("StartCurrent", StartCurrent), In("EndCurrent", EndCurrent), In("Duration", Duration)},
                           "IIviACPwrOutputPhase_RampCurrent");
}
HRESULT OutputPhaseFacet::AbortVoltageRamp() {
  return UnsupportedMethod(Owner(), kAbortVoltageRamp, {}, "IIviACPwrOutputPhase_AbortVoltageRamp");
}
HRESULT OutputPhaseFacet::AbortCurrentRamp() {
  return UnsupportedMethod(Owner(), kAbortCurrentRamp, {}, "IIviACPwrOutputPhase_AbortCurrentRamp");
}
HRESULT OutputPhaseFacet::FetchMeasurement(IviACPwrMeasurementTypeEnum MeasurementType, double* Measurement) {
  return UnsupportedMethod(Owner(), kFetchMeasurement,
                           {In("MeasurementType", MeasurementType), Out("Measurement", Measurement)},
                           "IIviACPwrOutputPhase_FetchMeasurement");
}
HRESULT OutputPhaseFacet::FetchMeasurementArray(IviACPwrMeasurementTypeArrayEnum, SAFEARRAY** Measurement) {
  return UnsupportedMethod(Owner(), kFetchMeasurementArray, {Out("Measurement", Measurement)},
                           "IIviACPwrOutputPhase_FetchMeasurementArray");
}
HRESULT OutputPhaseFacet::QueryVoltageRangeCapabilities(std::int32_t, BSTR, double* MinVoltage, double* MaxVoltage) {
  return UnsupportedMethod(Owner(), kQueryVoltageRangeCapabilities,
                           {Out("MinVoltage", MinVoltage), Out("MaxVoltage", MaxVoltage)},
                           "IIviACPwrOutputPhase_QueryVoltageRangeCapabilities");
}

}  // namespace hvzelta
