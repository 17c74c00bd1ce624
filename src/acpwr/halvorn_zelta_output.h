#pragma once

#include "acpwr/output_properties.h"
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

#define HVZ_PROPERTY_MEMBERS(Name, Type, ...) \
  HRESULT get_##Name(Type* val) override;    \
  HRESULT put_##Name(Type val) override;
  HVZELTA_OUTPUT_PROPERTIES(HVZ_PROPERTY_MEMBERS)
#undef HVZ_PROPERTY_MEMBERS
};

}  // namespace hvzelta
