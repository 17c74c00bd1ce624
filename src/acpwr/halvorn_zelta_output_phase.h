#pragma once

#include "acpwr/output_phase_properties.h"
#include "core/facet.h"
#include "core/rep_cap.h"
#include "hvzelta/halvorn_zelta_interfaces.h"
#include "hvzelta/ivi_acpwr.h"

namespace hvzelta {

class HalvornZeltaOutputPhase;

// IIviACPwrOutputPhase: level, range, current limit, phase angle, enable.
class OutputPhaseFacet final : public Facet<IIviACPwrOutputPhase, HalvornZeltaOutputPhase> {
 public:
  using Facet::Facet;
#define HVZ_PROPERTY_MEMBERS(Name, Type, ...) \
  HRESULT get_##Name(Type* val) override;    \
  HRESULT put_##Name(Type val) override;
  HVZELTA_OUTPUT_PHASE_PROPERTIES(HVZ_PROPERTY_MEMBERS)
#undef HVZ_PROPERTY_MEMBERS
  HRESULT get_NumVoltageRanges(std::int32_t* val) override;
  HRESULT get_Waveform(BSTR* val) override;
  HRESULT put_Waveform(BSTR val) override;
  HRESULT get_CurrentProtection(IIviACPwrCurrentProtection** val) override;
  HRESULT get_VoltageProtection(IIviACPwrVoltageProtection** val) override;
  HRESULT get_Impedance(IIviACPwrImpedance** val) override;
  HRESULT get_DCGeneration(IIviACPwrDCGeneration** val) override;
  HRESULT get_CurrentRampBusy(VARIANT_BOOL* val) override;
  HRESULT get_VoltageRampBusy(VARIANT_BOOL* val) override;
  HRESULT RampVoltage(double StartVoltage, double EndVoltage, double Duration) override;
  HRESULT RampCurrent(double StartCurrent, double EndCurrent, double Duration) override;
  HRESULT AbortVoltageRamp() override;
  HRESULT AbortCurrentRamp() override;
  HRESULT FetchMeasurement(IviACPwrMeasurementTypeEnum MeasurementType, double* Measurement) override;
  HRESULT FetchMeasurementArray(IviACPwrMeasurementTypeArrayEnum MeasurementType, SAFEARRAY** Measurement) override;
  HRESULT QueryVoltageRangeCapabilities(std::int32_t Range, BSTR WaveformName, double* MinVoltage,
                                        double* MaxVoltage) override;
};

class CurrentProtectionFacet final : public Facet<IIviACPwrCurrentProtection, HalvornZeltaOutputPhase> {
 public:
  using Facet::Facet;
  HRESULT Configure(VARIANT_BOOL Enabled, double Threshold, double Delay) override;
  HRESULT Reset() override;
  HRESULT get_Delay(double* val) override;
  HRESULT put_Delay(double val) override;
  HRESULT get_Enabled(VARIANT_BOOL* val) override;
  HRESULT put_Enabled(VARIANT_BOOL val) override;
  HRESULT get_Threshold(double* val) override;
  HRESULT put_Threshold(double val) override;
  HRESULT get_Tripped(VARIANT_BOOL* val) override;
};

class VoltageProtectionFacet final : public Facet<IIviACPwrVoltageProtection, HalvornZeltaOutputPhase> {
 public:
  using Facet::Facet;
  HRESULT Configure(VARIANT_BOOL UnderEnabled, VARIANT_BOOL OverEnabled, double UnderLimit, double OverLimit) override;
  HRESULT Reset() override;
  HRESULT get_OverEnabled(VARIANT_BOOL* val) override;
  HRESULT put_OverEnabled(VARIANT_BOOL val) override;
  HRESULT get_OverLimit(double* val) override;
  HRESULT put_OverLimit(double val) override;
  HRESULT get_UnderEnabled(VARIANT_BOOL* val) override;
  HRESULT put_UnderEnabled(VARIANT_BOOL val) override;
  HRESULT get_UnderLimit(double* val) override;
  HRESULT put_UnderLimit(double val) override;
  HRESULT get_Tripped(VARIANT_BOOL* val) override;
};

class ImpedanceFacet final : public Facet<IIviACPwrImpedance, HalvornZeltaOutputPhase> {
 public:
  using Facet::Facet;
  HRESULT Configure(VARIANT_BOOL Enabled, double ResistiveValue, double InductiveValue) override;
  HRESULT QueryCapabilities(double* ResistiveMin, double* ResistiveMax, double* InductiveMin,
                            double* InductiveMax) override;
  HRESULT get_Enabled(VARIANT_BOOL* val) override;
  HRESULT put_Enabled(VARIANT_BOOL val) override;
  HRESULT get_Inductive(double* val) override;
  HRESULT put_Inductive(double val) override;
  HRESULT get_Resistive(double* val) override;
  HRESULT put_Resistive(double val) override;
};

class DCGenerationFacet final : public Facet<IIviACPwrDCGeneration, HalvornZeltaOutputPhase> {
 public:
  using Facet::Facet;
  HRESULT Configure(IviACPwrDCGenerationEnum Mode, double DCVoltageLevel) override;
  HRESULT ConfigureRange(double Minimum, double Maximum) override;
  HRESULT QueryCapabilities(std::int32_t Range, double* Minimum, double* Maximum) override;
  HRESULT get_DCVoltageLevel(double* val) override;
  HRESULT put_DCVoltageLevel(double val) override;
  HRESULT get_Mode(IviACPwrDCGenerationEnum* val) override;
  HRESULT put_Mode(IviACPwrDCGenerationEnum val) override;
  HRESULT get_NumRanges(std::int32_t* val) override;
  HRESULT get_RangeMax(double* val) override;
  HRESULT get_RangeMin(double* val) override;
};

// The output phase "OutputPhase1": the AC power class's view of the output.
class HalvornZeltaOutputPhase final : public CRepCap, public IHalvornZeltaOutputPhase {
 public:
  static constexpr std::string_view kRepCapName = "HalvornZeltaOutputPhase";
  static constexpr std::string_view kPhysicalName = "OutputPhase1";

  HalvornZeltaOutputPhase(CDriver& root, IUnknown& identity)
      : CRepCap(root, identity, kRepCapName, kPhysicalName),
        outputPhase_(*this, Identity()),
        currentProtection_(*this, Identity()),
        voltageProtection_(*this, Identity()),
        impedance_(*this, Identity()),
        dcGeneration_(*this, Identity()) {}

  HRESULT QueryInterface(const IID& iid, void** object) override;
  std::uint32_t AddRef() override { return CRepCap::AddRef(); }
  std::uint32_t Release() override { return CRepCap::Release(); }

  IUnknown& Identity() { return static_cast<IHalvornZeltaOutputPhase&>(*this); }
  OutputPhaseFacet& OutputPhase() { return outputPhase_; }
  CurrentProtectionFacet& CurrentProtection() { return currentProtection_; }
  VoltageProtectionFacet& VoltageProtection() { return voltageProtection_; }
  ImpedanceFacet& Impedance() { return impedance_; }
  DCGenerationFacet& DCGeneration() { return dcGeneration_; }

 private:
  OutputPhaseFacet outputPhase_;
  CurrentProtectionFacet currentProtection_;
  VoltageProtectionFacet voltageProtection_;
  ImpedanceFacet impedance_;
  DCGenerationFacet dcGeneration_;
};

}  // namespace hvzelta
