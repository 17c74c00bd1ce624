#pragma once

#include "core/rep_cap.h"
#include "hvzelta/halvorn_zelta_interfaces.h"

namespace hvzelta {

// The output "Output1": its settings, measurements and trigger sources.
class HalvornZeltaOutput final : public CRepCap, public IHalvornZeltaOutput {
 public:
  static constexpr std::string_view kRepCapName = "HalvornZeltaOutput";
  static constexpr std::string_view kPhysicalName = "Output1";

  HalvornZeltaOutput(CDriver& root, IUnknown& identity) : CRepCap(root, identity, kRepCapName, kPhysicalName) {}

  HRESULT QueryInterface(const IID& iid, void** object) override;
  std::uint32_t AddRef() override { return CRepCap::AddRef(); }
  std::uint32_t Release() override { return CRepCap::Release(); }

  HRESULT CanMeasure(HalvornZeltaMeasurementTypeEnum MeasurementType, HalvornZeltaCouplingModeEnum CouplingMode,
                     VARIANT_BOOL* State, VisaStatusCode* Val) override;
  HRESULT InitiateMeasurement(VisaStatusCode* Val) override;
  HRESULT Fetch(HalvornZeltaMeasurementTypeEnum MeasurementType, double* MeasurementVal,
                VisaStatusCode* Val) override;
  HRESULT Measure(HalvornZeltaMeasurementTypeEnum MeasurementType, double* MeasurementVal,
                  VisaStatusCode* Val) override;
  HRESULT QueryCurrentLimitMinMax(double* Min, double* Max, VisaStatusCode* Val) override;
  HRESULT QueryCurrentOffsetMinMax(double* Min, double* Max, VisaStatusCode* Val) override;
  HRESULT QueryVoltageOffsetMinMax(double* Min, double* Max, VisaStatusCode* Val) override;
  HRESULT QueryFrequencyMinMax(double* Min, double* Max, VisaStatusCode* Val) override;
  HRESULT QueryState(HalvornZeltaOutputStateEnum OutputState, VARIANT_BOOL* StatusBit, VisaStatusCode* Val) override;
  HRESULT QueryVoltageLevelMinMax(double* Min, double* Max, VisaStatusCode* Val) override;
  HRESULT ResetOutputProtection(VisaStatusCode* Val) override;
  HRESULT ResetCurrentMaxHold(VisaStatusCode* Val) override;
  HRESULT get_AmmeterItem(HalvornZeltaAmmeterItemEnum* val) override;
  HRESULT put_AmmeterItem(HalvornZeltaAmmeterItemEnum val) override;
  HRESULT get_AverageEnabled(VARIANT_BOOL* val) override;
  HRESULT put_AverageEnabled(VARIANT_BOOL val) override;
  HRESULT get_ContinuousMeasurement(VARIANT_BOOL* val) override;
  HRESULT put_ContinuousMeasurement(VARIANT_BOOL val) override;
  HRESULT get_CouplingMode(HalvornZeltaCouplingModeEnum* val) override;
  HRESULT put_CouplingMode(HalvornZeltaCouplingModeEnum val) override;
  HRESULT get_CurrentLimit(double* val) override;
  HRESULT put_CurrentLimit(double val) override;
  HRESULT get_CurrentLimitBehavior(HalvornZeltaCurrentLimitBehaviorEnum* val) override;
  HRESULT put_CurrentLimitBehavior(HalvornZeltaCurrentLimitBehaviorEnum val) override;
  HRESULT get_CurrentOffset(double* val) override;
  HRESULT put_CurrentOffset(double val) override;
  HRESULT get_VoltageOffset(double* val) override;
  HRESULT put_VoltageOffset(double val) override;
  HRESULT get_Enabled(VARIANT_BOOL* val) override;
  HRESULT put_Enabled(VARIANT_BOOL val) override;
  HRESULT get_Frequency(double* val) override;
  HRESULT put_Frequency(double val) override;
  HRESULT get_HoldTime(HalvornZeltaHoldTimeEnum* val) override;
  HRESULT put_HoldTime(HalvornZeltaHoldTimeEnum val) override;
  HRESULT get_SyncEnabled(VARIANT_BOOL* val) override;
  HRESULT put_SyncEnabled(VARIANT_BOOL val) override;
  HRESULT get_SyncPhase(double* val) override;
  HRESULT put_SyncPhase(double val) override;
  HRESULT get_TriggeredVoltageOffset(double* val) override;
  HRESULT put_TriggeredVoltageOffset(double val) override;
  HRESULT get_TriggeredFrequency(double* val) override;
  HRESULT put_TriggeredFrequency(double val) override;
  HRESULT get_TriggeredVoltageLevel(double* val) override;
  HRESULT put_TriggeredVoltageLevel(double val) override;
  HRESULT get_TriggerSource(HalvornZeltaTriggerSourceEnum* val) override;
  HRESULT put_TriggerSource(HalvornZeltaTriggerSourceEnum val) override;
  HRESULT get_VoltageRange(double* val) override;
  HRESULT put_VoltageRange(double val) override;
  HRESULT get_VoltageLevel(double* val) override;
  HRESULT put_VoltageLevel(double val) override;
  HRESULT get_TriggerAcquireSource(HalvornZeltaTriggerSourceEnum* val) override;
  HRESULT put_TriggerAcquireSource(HalvornZeltaTriggerSourceEnum val) override;
  HRESULT get_TriggerTransientSource(HalvornZeltaTriggerSourceEnum* val) override;
  HRESULT put_TriggerTransientSource(HalvornZeltaTriggerSourceEnum val) override;
  HRESULT get_Average(HalvornZeltaAverageEnum* val) override;
  HRESULT put_Average(HalvornZeltaAverageEnum val) override;
};

}  // namespace hvzelta
