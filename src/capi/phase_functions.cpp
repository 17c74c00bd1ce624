// The functions of the output phases: configure, ramp, abort and reset act on
// every phase the channel name selects, in order; queries and fetches answer
// from the first.

#include <algorithm>
#include <cstring>

#include "capi/c_frame.h"
#include "hvzelta.h"
#include "hvzelta/com/safearray.h"

namespace {
using Phase = hvzelta::IIviACPwrOutputPhase;
}  // namespace

using namespace hvzelta;
using namespace hvzelta::capi;

ViStatus hvzelta_ConfigureVoltageLevel(ViSession vi, ViConstString ChannelName, ViReal64 VoltageLevel) {
  return ConfigureValue<Phases>(vi, ChannelName, VoltageLevel, &Phase::put_VoltageLevel);
}

ViStatus hvzelta_ConfigureVoltageRange(ViSession vi, ViConstString ChannelName, ViReal64 VoltageRange) {
  return ConfigureValue<Phases>(vi, ChannelName, VoltageRange, &Phase::put_VoltageRange);
}

ViStatus hvzelta_ConfigureCurrentLimit(ViSession vi, ViConstString ChannelName, ViReal64 CurrentLimit) {
  return ConfigureValue<Phases>(vi, ChannelName, CurrentLimit, &Phase::put_CurrentLimit);
}

ViStatus hvzelta_ConfigureOutputEnabled(ViSession vi, ViConstString ChannelName, ViBoolean Enabled) {
  return ConfigureValue<Phases>(vi, ChannelName, Enabled, &Phase::put_Enabled);
}

ViStatus hvzelta_ConfigurePhaseAngle(ViSession vi, ViConstString ChannelName, ViReal64 PhaseAngle) {
  return ConfigureValue<Phases>(vi, ChannelName, PhaseAngle, &Phase::put_PhaseAngle);
}

ViStatus hvzelta_ConfigureWaveform(ViSession vi, ViConstString ChannelName, ViConstString WaveformName) {
  return Guarded(vi, [&] { return SetTextProperty<Phases>(vi, ChannelName, WaveformName, &Phase::put_Waveform); });
}

ViStatus hvzelta_RampVoltage(ViSession vi, ViConstString ChannelName, ViReal64 StartVoltage, ViReal64 EndVoltage,
                             ViReal64 Duration) {
  return ConfigureEach<Phases>(vi, ChannelName,
                               [&](Phase& phase) { return phase.RampVoltage(StartVoltage, EndVoltage, Duration); });
}

ViStatus hvzelta_RampCurrent(ViSession vi, ViConstString ChannelName, ViReal64 StartCurrent, ViReal64 EndCurrent,
                             ViReal64 Duration) {
  return ConfigureEach<Phases>(vi, ChannelName,
                               [&](Phase& phase) { return phase.RampCurrent(StartCurrent, EndCurrent, Duration); });
}

ViStatus hvzelta_AbortVoltageRamp(ViSession vi, ViConstString ChannelName) {
  return ConfigureEach<Phases>(vi, ChannelName, [](Phase& phase) { return phase.AbortVoltageRamp(); });
}

ViStatus hvzelta_AbortCurrentRamp(ViSession vi, ViConstString ChannelName) {
  return ConfigureEach<Phases>(vi, ChannelName, [](Phase& phase) { return phase.AbortCurrentRamp(); });
}

ViStatus hvzelta_QueryVoltageRampBusy(ViSession vi, ViConstString ChannelName, ViBoolean* Busy) {
  return QueryValue<Phases>(vi, ChannelName, Busy, "Busy", &Phase::get_VoltageRampBusy);
}

ViStatus hvzelta_QueryCurrentRampBusy(ViSession vi, ViConstString ChannelName, ViBoolean* Busy) {
  return QueryValue<Phases>(vi, ChannelName, Busy, "Busy", &Phase::get_CurrentRampBusy);
}

ViStatus hvzelta_QueryVoltageRangeCapabilities(ViSession vi, ViConstString ChannelName, ViInt32 Range,
                                               ViConstString WaveformName, ViReal64* MinVoltage, ViReal64* MaxVoltage) {
  return QueryPair<Phases>(vi, ChannelName, "MinVoltage", MinVoltage, "MaxVoltage", MaxVoltage,
                           [&](Phase& phase, double* min, double* max) {
                             const Bstr waveform = TextToBstr(WaveformName);
                             return phase.QueryVoltageRangeCapabilities(Range, waveform.Get(), min, max);
                           });
}

ViStatus hvzelta_FetchMeasurement(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType,
                                  ViReal64* Measurement) {
  double value = 0;
  const ViStatus status = QueryFirst<Phases>(vi, ChannelName, {{"Measurement", Measurement}}, [&](Phase& phase) {
    return phase.FetchMeasurement(static_cast<IviACPwrMeasurementTypeEnum>(MeasurementType), &value);
  });
  if (status >= 0) *Measurement = value;
  return status;
}

ViStatus hvzelta_FetchMeasurementArray(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType,
                                       ViInt32 ArraySize, ViReal64 Measurement[], ViInt32* MeasurementActualSize) {
  SafeArrayPtr values;
  const ViStatus status =
      QueryFirst<Phases>(vi, ChannelName, {{"MeasurementActualSize", MeasurementActualSize}}, [&](Phase& phase) {
        SAFEARRAY* array = nullptr;
        const HRESULT hr =
            phase.FetchMeasurementArray(static_cast<IviACPwrMeasurementTypeArrayEnum>(MeasurementType), &array);
        values.reset(array);
        return hr;
      });
  if (status < 0) return status;
  *MeasurementActualSize = 0;
  if (!Measurement) return status != VI_SUCCESS ? status : static_cast<ViStatus>(_VI_ERROR);
  VARTYPE type = VT_EMPTY;
  const bool doubles = values && Succeeded(SafeArrayGetVartype(values.get(), &type)) && type == VT_R8;
  const std::uint32_t available = doubles ? SafeArrayLength(values.get()) : 0;
  const auto count = static_cast<ViInt32>(std::min<std::int64_t>(std::max<ViInt32>(ArraySize, 0), available));
  if (count > 0) std::memcpy(Measurement, values->pvData, static_cast<std::size_t>(count) * sizeof(double));
  *MeasurementActualSize = count;
  return status;
}

ViStatus hvzelta_ConfigureCurrentProtection(ViSession vi, ViConstString ChannelName, ViBoolean Enabled,
                                            ViReal64 Threshold, ViReal64 Delay) {
  return ConfigureEach<PhaseParts<IIviACPwrCurrentProtection>>(
      vi, ChannelName, [&](IIviACPwrCurrentProtection& protection) {
        return protection.Configure(Converter<VARIANT_BOOL>::ToRaw(Enabled), Threshold, Delay);
      });
}

ViStatus hvzelta_ResetCurrentProtection(ViSession vi, ViConstString ChannelName) {
  return ConfigureEach<PhaseParts<IIviACPwrCurrentProtection>>(
      vi, ChannelName, [](IIviACPwrCurrentProtection& protection) { return protection.Reset(); });
}

ViStatus hvzelta_QueryCurrentProtectionTripped(ViSession vi, ViConstString ChannelName, ViBoolean* Tripped) {
  return QueryValue<PhaseParts<IIviACPwrCurrentProtection>>(vi, ChannelName, Tripped, "Tripped",
                                                            &IIviACPwrCurrentProtection::get_Tripped);
}

ViStatus hvzelta_ConfigureVoltageProtection(ViSession vi, ViConstString ChannelName, ViBoolean UnderEnabled,
                                            ViBoolean OverEnabled, ViReal64 UnderLimit, ViReal64 OverLimit) {
  return ConfigureEach<PhaseParts<IIviACPwrVoltageProtection>>(
      vi, ChannelName, [&](IIviACPwrVoltageProtection& protection) {
        return protection.Configure(Converter<VARIANT_BOOL>::ToRaw(UnderEnabled),
                                    Converter<VARIANT_BOOL>::ToRaw(OverEnabled), UnderLimit, OverLimit);
      });
}

ViStatus hvzelta_ResetVoltageProtection(ViSession vi, ViConstString ChannelName) {
  return ConfigureEach<PhaseParts<IIviACPwrVoltageProtection>>(
      vi, ChannelName, [](IIviACPwrVoltageProtection& protection) { return protection.Reset(); });
}

ViStatus hvzelta_QueryVoltageProtectionTripped(ViSession vi, ViConstString ChannelName, ViBoolean* Tripped) {
  return QueryValue<PhaseParts<IIviACPwrVoltageProtection>>(vi, ChannelName, Tripped, "Tripped",
                                                            &IIviACPwrVoltageProtection::get_Tripped);
}

ViStatus hvzelta_ConfigureOutputImpedance(ViSession vi, ViConstString ChannelName, ViBoolean Enabled,
                                          ViReal64 ResistiveValue, ViReal64 InductiveValue) {
  return ConfigureEach<PhaseParts<IIviACPwrImpedance>>(vi, ChannelName, [&](IIviACPwrImpedance& impedance) {
    return impedance.Configure(Converter<VARIANT_BOOL>::ToRaw(Enabled), ResistiveValue, InductiveValue);
  });
}

ViStatus hvzelta_QueryOutputImpedanceCapabilities(ViSession vi, ViConstString ChannelName, ViReal64* ResistiveMin,
                                                  ViReal64* ResistiveMax, ViReal64* InductiveMin,
                                                  ViReal64* InductiveMax) {
  double values[4] = {};
  const ViStatus status = QueryFirst<PhaseParts<IIviACPwrImpedance>>(
      vi, ChannelName,
      {{"ResistiveMin", ResistiveMin},
       {"ResistiveMax", ResistiveMax},
       {"InductiveMin", InductiveMin},
       {"InductiveMax", InductiveMax}},
      [&](IIviACPwrImpedance& impedance) {
        return impedance.QueryCapabilities(&values[0], &values[1], &values[2], &values[3]);
      });
  if (status >= 0) {
    *ResistiveMin = values[0];
    *ResistiveMax = values[1];
    *InductiveMin = values[2];
    *InductiveMax = values[3];
  }
  return status;
}

ViStatus hvzelta_ConfigureDC(ViSession vi, ViConstString ChannelName, ViInt32 Mode, ViReal64 DCVoltageLevel) {
  return ConfigureEach<PhaseParts<IIviACPwrDCGeneration>>(vi, ChannelName, [&](IIviACPwrDCGeneration& dc) {
    return dc.Configure(static_cast<IviACPwrDCGenerationEnum>(Mode), DCVoltageLevel);
  });
}

ViStatus hvzelta_ConfigureDCRange(ViSession vi, ViConstString ChannelName, ViReal64 Minimum, ViReal64 Maximum) {
  return ConfigureEach<PhaseParts<IIviACPwrDCGeneration>>(
      vi, ChannelName, [&](IIviACPwrDCGeneration& dc) { return dc.ConfigureRange(Minimum, Maximum); });
}

ViStatus hvzelta_QueryDCCapabilities(ViSession vi, ViConstString ChannelName, ViInt32 Range, ViReal64* Minimum,
                                     ViReal64* Maximum) {
  return QueryPair<PhaseParts<IIviACPwrDCGeneration>>(
      vi, ChannelName, "Minimum", Minimum, "Maximum", Maximum,
      [&](IIviACPwrDCGeneration& dc, double* min, double* max) { return dc.QueryCapabilities(Range, min, max); });
}
