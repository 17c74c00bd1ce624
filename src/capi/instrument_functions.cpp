// The functions of the whole instrument, without a channel name: frequency
// and its ramp, measurement start, repeated-capability names, arbitrary
// waveforms, external synchronisation, trigger, memory and raw I/O.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "capi/c_frame.h"
#include "hvzelta.h"
#include "hvzelta/com/safearray.h"

namespace hvzelta::capi {
namespace {

using PhaseCollection = Root<IIviACPwrOutputPhases>;
using ArbWaveform = Root<IIviACPwrArbWaveform>;
using ExternalSync = Root<IIviACPwrExternalSync>;

// A new one-dimensional array holding a copy of `count` elements at `data`;
// no array at all for null data.
SafeArrayPtr CopyToArray(VARTYPE type, const void* data, std::size_t count, std::size_t elementSize) {
  if (!data) return nullptr;
  SafeArrayPtr array(SafeArrayCreateVector(type, 0, static_cast<std::uint32_t>(count)));
  if (!array) throw std::bad_alloc();
  if (count > 0) std::memcpy(array->pvData, data, count * elementSize);
  return array;
}

template <class Member>
ViStatus TriggerOperation(ViSession vi, ViInt32* Val, Member member) {
  VisaStatusCode val{};
  const ViStatus status = QueryFirst<Root<IHalvornZeltaTrigger>>(
      vi, nullptr, {{"Val", Val}}, [&](IHalvornZeltaTrigger& trigger) { return (trigger.*member)(&val); });
  if (status >= 0) *Val = val;
  return status;
}

template <class Collection>
ViStatus GetCollectionName(ViSession vi, ViInt32 index, ViInt32 bufferSize, ViChar* name) {
  return Guarded(vi, [&] {
    return GetText<Root<Collection>>(vi, nullptr, bufferSize, name, [&](Collection& collection, BSTR* text) {
      return collection.get_Name(index, text);
    });
  });
}

}  // namespace
}  // namespace hvzelta::capi

using namespace hvzelta;
using namespace hvzelta::capi;

ViStatus hvzelta_ConfigureFrequency(ViSession vi, ViReal64 Frequency) {
  return ConfigureValue<PhaseCollection>(vi, nullptr, Frequency, &IIviACPwrOutputPhases::put_Frequency);
}

ViStatus hvzelta_ConfigureFrequencyRange(ViSession vi, ViReal64 FrequencyRange) {
  return ConfigureValue<PhaseCollection>(vi, nullptr, FrequencyRange, &IIviACPwrOutputPhases::put_FrequencyRange);
}

ViStatus hvzelta_QueryFrequencyRangeCapabilities(ViSession vi, ViInt32 Range, ViReal64* MinFrequency,
                                                 ViReal64* MaxFrequency) {
  return QueryPair<PhaseCollection>(vi, nullptr, "MinFrequency", MinFrequency, "MaxFrequency", MaxFrequency,
                                    [&](IIviACPwrOutputPhases& phases, double* min, double* max) {
                                      return phases.QueryFrequencyRangeCapabilities(Range, min, max);
                                    });
}

ViStatus hvzelta_RampFrequency(ViSession vi, ViReal64 StartFrequency, ViReal64 EndFrequency, ViReal64 Duration) {
  return ConfigureEach<PhaseCollection>(vi, nullptr, [&](IIviACPwrOutputPhases& phases) {
    return phases.RampFrequency(StartFrequency, EndFrequency, Duration);
  });
}

ViStatus hvzelta_AbortFrequencyRamp(ViSession vi) {
  return ConfigureEach<PhaseCollection>(vi, nullptr,
                                        [](IIviACPwrOutputPhases& phases) { return phases.AbortFrequencyRamp(); });
}

ViStatus hvzelta_QueryFrequencyRampBusy(ViSession vi, ViBoolean* Busy) {
  return QueryValue<PhaseCollection>(vi, nullptr, Busy, "Busy", &IIviACPwrOutputPhases::get_FrequencyRampBusy);
}

ViStatus hvzelta_InitiateMeasurement(ViSession vi, ViInt32 Group) {
  return ConfigureEach<PhaseCollection>(vi, nullptr, [&](IIviACPwrOutputPhases& phases) {
    return phases.InitiateMeasurement(static_cast<IviACPwrMeasurementGroupEnum>(Group));
  });
}

ViStatus hvzelta_GetOutputPhaseName(ViSession vi, ViInt32 Index, ViInt32 BufferSize, ViChar Name[]) {
  return GetCollectionName<IIviACPwrOutputPhases>(vi, Index, BufferSize, Name);
}

ViStatus hvzelta_GetOutputName(ViSession vi, ViInt32 Index, ViInt32 BufferSize, ViChar Name[]) {
  return GetCollectionName<IHalvornZeltaOutputs>(vi, Index, BufferSize, Name);
}

ViStatus hvzelta_ClearArbWaveform(ViSession vi, ViConstString WaveformName) {
  return ConfigureEach<ArbWaveform>(vi, nullptr, [&](IIviACPwrArbWaveform& arb) {
    const Bstr name = TextToBstr(WaveformName);
    return arb.Clear(name.Get());
  });
}

ViStatus hvzelta_QueryArbWaveformCatalog(ViSession vi, ViInt32 CatalogType, ViInt32 BufferSize, ViChar Catalog[]) {
  return Guarded(vi, [&] {
    return GetText<ArbWaveform>(vi, nullptr, BufferSize, Catalog, [&](IIviACPwrArbWaveform& arb, BSTR* catalog) {
      return arb.QueryCatalog(static_cast<IviACPwrWaveformCatalogEnum>(CatalogType), catalog);
    });
  });
}

ViStatus hvzelta_WriteArbWaveform(ViSession vi, ViConstString WaveformName, ViInt32 WaveformDataSize,
                                  const ViReal64 WaveformData[]) {
  return ConfigureEach<ArbWaveform>(vi, nullptr, [&](IIviACPwrArbWaveform& arb) {
    const Bstr name = TextToBstr(WaveformName);
    // Write only reads the values, so the caller's array is lent in place
    // rather than copied: a huge size costs nothing before Write answers.
    SAFEARRAY lent{1, VT_R8, sizeof(double), 0, const_cast<ViReal64*>(WaveformData), {}};
    lent.rgsabound[0].cElements = static_cast<std::uint32_t>(std::max<ViInt32>(WaveformDataSize, 0));
    SAFEARRAY* handed = WaveformData ? &lent : nullptr;
    return arb.Write(name.Get(), &handed);
  });
}

ViStatus hvzelta_ConfigureExternalSync(ViSession vi, ViBoolean Enabled, ViReal64 PhaseOffset) {
  return ConfigureEach<ExternalSync>(vi, nullptr, [&](IIviACPwrExternalSync& sync) {
    return sync.Configure(Converter<VARIANT_BOOL>::ToRaw(Enabled), PhaseOffset);
  });
}

ViStatus hvzelta_QueryExternalSyncLocked(ViSession vi, ViBoolean* Locked) {
  return QueryValue<ExternalSync>(vi, nullptr, Locked, "Locked", &IIviACPwrExternalSync::get_Locked);
}

ViStatus hvzelta_Abort(ViSession vi, ViInt32* Val) { return TriggerOperation(vi, Val, &IHalvornZeltaTrigger::Abort); }

ViStatus hvzelta_Initiate(ViSession vi, ViInt32* Val) {
  return TriggerOperation(vi, Val, &IHalvornZeltaTrigger::Initiate);
}

ViStatus hvzelta_SendSoftwareTrigger(ViSession vi, ViInt32* Val) {
  return TriggerOperation(vi, Val, &IHalvornZeltaTrigger::SendSoftwareTrigger);
}

ViStatus hvzelta_Recall(ViSession vi, ViInt32 MemNo) {
  return ConfigureEach<Root<IHalvornZeltaMemory>>(vi, nullptr,
                                                  [&](IHalvornZeltaMemory& memory) { return memory.Recall(MemNo); });
}

ViStatus hvzelta_Store(ViSession vi, ViInt32 MemNo) {
  return ConfigureEach<Root<IHalvornZeltaMemory>>(vi, nullptr,
                                                  [&](IHalvornZeltaMemory& memory) { return memory.Store(MemNo); });
}

ViStatus hvzelta_viWrite(ViSession vi, ViInt64 BufferSize, ViConstBuf Buffer, ViInt64* ReturnCount) {
  std::int64_t written = 0;
  const ViStatus status = QueryFirst<Root<IHalvornZeltaSystem>>(
      vi, nullptr, {{"ReturnCount", ReturnCount}}, [&](IHalvornZeltaSystem& system) {
        // One array holds at most 2^31 - 1 bytes; a negative size writes nothing.
        const ViInt64 count = std::clamp<ViInt64>(BufferSize, 0, std::numeric_limits<std::int32_t>::max());
        SafeArrayPtr bytes = CopyToArray(VT_UI1, Buffer, static_cast<std::size_t>(count), 1);
        SAFEARRAY* handed = bytes.get();
        return system.WriteBytes(&handed, &written);
      });
  if (status >= 0) *ReturnCount = written;
  return status;
}

ViStatus hvzelta_viRead(ViSession vi, ViInt64 BufferSize, ViByte Buffer[], ViInt64* ReturnCount) {
  SafeArrayPtr bytes;
  const ViStatus status = QueryFirst<Root<IHalvornZeltaSystem>>(vi, nullptr, {{"ReturnCount", ReturnCount}},
                                                                [&](IHalvornZeltaSystem& system) {
                                                                  SAFEARRAY* array = nullptr;
                                                                  const HRESULT hr = system.ReadBytes(&array);
                                                                  bytes.reset(array);
                                                                  return hr;
                                                                });
  if (status < 0) return status;
  *ReturnCount = 0;
  if (!Buffer) return status != VI_SUCCESS ? status : static_cast<ViStatus>(_VI_ERROR);
  VARTYPE type = VT_EMPTY;
  const bool isBytes = bytes && Succeeded(SafeArrayGetVartype(bytes.get(), &type)) && type == VT_UI1;
  const std::int64_t available = isBytes ? SafeArrayLength(bytes.get()) : 0;
  const std::int64_t count = std::clamp<std::int64_t>(BufferSize, 0, available);
  if (count > 0) std::memcpy(Buffer, bytes->pvData, static_cast<std::size_t>(count));
  *ReturnCount = count;
  return status;
}
