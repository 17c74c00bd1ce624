#pragma once

// The interfaces of the driver object beyond the inherent ones, each a facet
// of the root: the collections of outputs and output phases, the AC power
// class's root interfaces, and the driver's system, trigger and memory
// interfaces.

#include "core/facet.h"
#include "hvzelta/halvorn_zelta_interfaces.h"
#include "hvzelta/ivi_acpwr.h"

namespace hvzelta {

class HalvornZelta;

class OutputsFacet final : public Facet<IHalvornZeltaOutputs, HalvornZelta> {
 public:
  using Facet::Facet;
  HRESULT get_Count(std::int32_t* val) override;
  HRESULT get_Name(std::int32_t Index, BSTR* val) override;
  HRESULT get_Item(BSTR Name, IHalvornZeltaOutput** val) override;
};

class OutputPhasesFacet final : public Facet<IHalvornZeltaOutputPhases, HalvornZelta> {
 public:
  using Facet::Facet;
  HRESULT get_Count(std::int32_t* val) override;
  HRESULT get_Item(BSTR Name, IHalvornZeltaOutputPhase** val) override;
  HRESULT get_Name(std::int32_t Index, BSTR* val) override;
};

class ClassOutputPhasesFacet final : public Facet<IIviACPwrOutputPhases, HalvornZelta> {
 public:
  using Facet::Facet;
  HRESULT get_Count(std::int32_t* val) override;
  HRESULT get_Item(BSTR Name, IIviACPwrOutputPhase** val) override;
  HRESULT get_Name(std::int32_t Index, BSTR* val) override;
  HRESULT get_Frequency(double* val) override;
  HRESULT put_Frequency(double val) override;
  HRESULT get_FrequencyRange(double* val) override;
  HRESULT put_FrequencyRange(double val) override;
  HRESULT get_NumFrequencyRanges(std::int32_t* val) override;
  HRESULT get_NumPhases(std::int32_t* val) override;
  HRESULT QueryFrequencyRangeCapabilities(std::int32_t Range, double* MinFrequency, double* MaxFrequency) override;
  HRESULT RampFrequency(double StartFrequency, double EndFrequency, double Duration) override;
  HRESULT AbortFrequencyRamp() override;
  HRESULT get_FrequencyRampBusy(VARIANT_BOOL* val) override;
  HRESULT InitiateMeasurement(IviACPwrMeasurementGroupEnum Group) override;
  HRESULT get_ExternalSync(IIviACPwrExternalSync** val) override;
};

class ArbWaveformFacet final : public Facet<IIviACPwrArbWaveform, HalvornZelta> {
 public:
  using Facet::Facet;
  HRESULT Clear(BSTR WaveformName) override;
  HRESULT QueryCatalog(IviACPwrWaveformCatalogEnum CatalogType, BSTR* Catalog) override;
  HRESULT Write(BSTR WaveformName, SAFEARRAY** WaveformData) override;
  HRESULT get_NumWaveformsMax(std::int32_t* val) override;
  HRESULT get_NumOptimalDataPoints(std::int32_t* val) override;
  HRESULT get_FixedWaveformCount(std::int32_t* val) override;
  HRESULT get_UserWaveformCount(std::int32_t* val) override;
  HRESULT get_AvailableWaveformCount(std::int32_t* val) override;
};

class ExternalSyncFacet final : public Facet<IIviACPwrExternalSync, HalvornZelta> {
 public:
  using Facet::Facet;
  HRESULT Configure(VARIANT_BOOL Enabled, double PhaseOffset) override;
  HRESULT get_Enabled(VARIANT_BOOL* val) override;
  HRESULT put_Enabled(VARIANT_BOOL val) override;
  HRESULT get_PhaseOffset(double* val) override;
  HRESULT put_PhaseOffset(double val) override;
  HRESULT get_Locked(VARIANT_BOOL* val) override;
};

class SystemFacet final : public Facet<IHalvornZeltaSystem, HalvornZelta> {
 public:
  using Facet::Facet;
  HRESULT ReadBytes(SAFEARRAY** val) override;
  HRESULT ReadString(BSTR* val) override;
  HRESULT WriteBytes(SAFEARRAY** Buffer, std::int64_t* val) override;
  HRESULT WriteString(BSTR Data) override;
  HRESULT get_IOTimeout(std::int32_t* val) override;
  HRESULT put_IOTimeout(std::int32_t val) override;
  HRESULT get_DirectIO(IUnknown** val) override;
};

class TriggerFacet final : public Facet<IHalvornZeltaTrigger, HalvornZelta> {
 public:
  using Facet::Facet;
  HRESULT Abort(VisaStatusCode* Val) override;
  HRESULT Initiate(VisaStatusCode* Val) override;
  HRESULT SendSoftwareTrigger(VisaStatusCode* Val) override;
};

class MemoryFacet final : public Facet<IHalvornZeltaMemory, HalvornZelta> {
 public:
  using Facet::Facet;
  HRESULT Recall(std::int32_t MemNo) override;
  HRESULT Store(std::int32_t MemNo) override;
};

}  // namespace hvzelta
