#pragma once

// The AC power class interfaces: what a class-generic test program uses to set
// level, range, frequency, current limit, phase angle and output enable on any
// AC source. Members the ZTA family lacks answer "not supported".

#include <cstdint>

#include "hvzelta/com/bstr.h"
#include "hvzelta/com/types.h"
#include "hvzelta/com/unknown.h"
#include "hvzelta/enums.h"
#include "hvzelta/ivi_driver.h"

namespace hvzelta {

struct SAFEARRAY;

class IIviACPwrCurrentProtection : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5445);
  virtual HRESULT Configure(VARIANT_BOOL Enabled, double Threshold, double Delay) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT get_Delay(double* val) = 0;
  virtual HRESULT put_Delay(double val) = 0;
  virtual HRESULT get_Enabled(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_Enabled(VARIANT_BOOL val) = 0;
  virtual HRESULT get_Threshold(double* val) = 0;
  virtual HRESULT put_Threshold(double val) = 0;
  virtual HRESULT get_Tripped(VARIANT_BOOL* val) = 0;

 protected:
  ~IIviACPwrCurrentProtection() = default;
};

class IIviACPwrVoltageProtection : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5446);
  virtual HRESULT Configure(VARIANT_BOOL UnderEnabled, VARIANT_BOOL OverEnabled, double UnderLimit,
                            double OverLimit) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT get_OverEnabled(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_OverEnabled(VARIANT_BOOL val) = 0;
  virtual HRESULT get_OverLimit(double* val) = 0;
  virtual HRESULT put_OverLimit(double val) = 0;
  virtual HRESULT get_UnderEnabled(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_UnderEnabled(VARIANT_BOOL val) = 0;
  virtual HRESULT get_UnderLimit(double* val) = 0;
  virtual HRESULT put_UnderLimit(double val) = 0;
  virtual HRESULT get_Tripped(VARIANT_BOOL* val) = 0;

 protected:
  ~IIviACPwrVoltageProtection() = default;
};

class IIviACPwrImpedance : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5447);
  virtual HRESULT Configure(VARIANT_BOOL Enabled, double ResistiveValue, double InductiveValue) = 0;
  virtual HRESULT QueryCapabilities(double* ResistiveMin, double* ResistiveMax, double* InductiveMin,
                                    double* InductiveMax) = 0;
  virtual HRESULT get_Enabled(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_Enabled(VARIANT_BOOL val) = 0;
  virtual HRESULT get_Inductive(double* val) = 0;
  virtual HRESULT put_Inductive(double val) = 0;
  virtual HRESULT get_Resistive(double* val) = 0;
  virtual HRESULT put_Resistive(double val) = 0;

 protected:
  ~IIviACPwrImpedance() = default;
};

class IIviACPwrDCGeneration : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5448);
  virtual HRESULT Configure(IviACPwrDCGenerationEnum Mode, double DCVoltageLevel) = 0;
  virtual HRESULT ConfigureRange(double Minimum, double Maximum) = 0;
  virtual HRESULT QueryCapabilities(std::int32_t Range, double* Minimum, double* Maximum) = 0;
  virtual HRESULT get_DCVoltageLevel(double* val) = 0;
  virtual HRESULT put_DCVoltageLevel(double val) = 0;
  virtual HRESULT get_Mode(IviACPwrDCGenerationEnum* val) = 0;
  virtual HRESULT put_Mode(IviACPwrDCGenerationEnum val) = 0;
  virtual HRESULT get_NumRanges(std::int32_t* val) = 0;
  virtual HRESULT get_RangeMax(double* val) = 0;
  virtual HRESULT get_RangeMin(double* val) = 0;

 protected:
  ~IIviACPwrDCGeneration() = default;
};

class IIviACPwrOutputPhase : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5442);
  virtual HRESULT get_VoltageLevel(double* val) = 0;
  virtual HRESULT put_VoltageLevel(double val) = 0;
  virtual HRESULT get_CurrentLimit(double* val) = 0;
  virtual HRESULT put_CurrentLimit(double val) = 0;
  virtual HRESULT get_PhaseAngle(double* val) = 0;
  virtual HRESULT put_PhaseAngle(double val) = 0;
  virtual HRESULT get_Enabled(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_Enabled(VARIANT_BOOL val) = 0;
  virtual HRESULT get_VoltageRange(double* val) = 0;
  virtual HRESULT put_VoltageRange(double val) = 0;
  virtual HRESULT get_NumVoltageRanges(std::int32_t* val) = 0;
  virtual HRESULT get_Waveform(BSTR* val) = 0;
  virtual HRESULT put_Waveform(BSTR val) = 0;
  virtual HRESULT get_CurrentProtection(IIviACPwrCurrentProtection** val) = 0;
  virtual HRESULT get_VoltageProtection(IIviACPwrVoltageProtection** val) = 0;
  virtual HRESULT get_Impedance(IIviACPwrImpedance** val) = 0;
  virtual HRESULT get_DCGeneration(IIviACPwrDCGeneration** val) = 0;
  virtual HRESULT get_CurrentRampBusy(VARIANT_BOOL* val) = 0;
  virtual HRESULT get_VoltageRampBusy(VARIANT_BOOL* val) = 0;
  virtual HRESULT RampVoltage(double StartVoltage, double EndVoltage, double Duration) = 0;
  virtual HRESULT RampCurrent(double StartCurrent, double EndCurrent, double Duration) = 0;
  virtual HRESULT AbortVoltageRamp() = 0;
  virtual HRESULT AbortCurrentRamp() = 0;
  virtual HRESULT FetchMeasurement(IviACPwrMeasurementTypeEnum MeasurementType, double* Measurement) = 0;
  virtual HRESULT FetchMeasurementArray(IviACPwrMeasurementTypeArrayEnum MeasurementType,
                                        SAFEARRAY** Measurement) = 0;
  virtual HRESULT QueryVoltageRangeCapabilities(std::int32_t Range, BSTR WaveformName, double* MinVoltage,
                                                double* MaxVoltage) = 0;

 protected:
  ~IIviACPwrOutputPhase() = default;
};

class IIviACPwrExternalSync : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5444);
  virtual HRESULT Configure(VARIANT_BOOL Enabled, double PhaseOffset) = 0;
  virtual HRESULT get_Enabled(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_Enabled(VARIANT_BOOL val) = 0;
  virtual HRESULT get_PhaseOffset(double* val) = 0;
  virtual HRESULT put_PhaseOffset(double val) = 0;
  virtual HRESULT get_Locked(VARIANT_BOOL* val) = 0;

 protected:
  ~IIviACPwrExternalSync() = default;
};

class IIviACPwrOutputPhases : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5441);
  virtual HRESULT get_Count(std::int32_t* val) = 0;
  virtual HRESULT get_Item(BSTR Name, IIviACPwrOutputPhase** val) = 0;
  virtual HRESULT get_Name(std::int32_t Index, BSTR* val) = 0;
  virtual HRESULT get_Frequency(double* val) = 0;
  virtual HRESULT put_Frequency(double val) = 0;
  virtual HRESULT get_FrequencyRange(double* val) = 0;
  virtual HRESULT put_FrequencyRange(double val) = 0;
  virtual HRESULT get_NumFrequencyRanges(std::int32_t* val) = 0;
  virtual HRESULT get_NumPhases(std::int32_t* val) = 0;
  virtual HRESULT QueryFrequencyRangeCapabilities(std::int32_t Range, double* MinFrequency,
                                                  double* MaxFrequency) = 0;
  virtual HRESULT RampFrequency(double StartFrequency, double EndFrequency, double Duration) = 0;
  virtual HRESULT AbortFrequencyRamp() = 0;
  virtual HRESULT get_FrequencyRampBusy(VARIANT_BOOL* val) = 0;
  virtual HRESULT InitiateMeasurement(IviACPwrMeasurementGroupEnum Group) = 0;
  virtual HRESULT get_ExternalSync(IIviACPwrExternalSync** val) = 0;

 protected:
  ~IIviACPwrOutputPhases() = default;
};

class IIviACPwrArbWaveform : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5443);
  virtual HRESULT Clear(BSTR WaveformName) = 0;
  virtual HRESULT QueryCatalog(IviACPwrWaveformCatalogEnum CatalogType, BSTR* Catalog) = 0;
  virtual HRESULT Write(BSTR WaveformName, SAFEARRAY** WaveformData) = 0;
  virtual HRESULT get_NumWaveformsMax(std::int32_t* val) = 0;
  virtual HRESULT get_NumOptimalDataPoints(std::int32_t* val) = 0;
  virtual HRESULT get_FixedWaveformCount(std::int32_t* val) = 0;
  virtual HRESULT get_UserWaveformCount(std::int32_t* val) = 0;
  virtual HRESULT get_AvailableWaveformCount(std::int32_t* val) = 0;

 protected:
  ~IIviACPwrArbWaveform() = default;
};

class IIviACPwr : public IIviDriver {
 public:
  static constexpr IID kIid = MakeIviIid(0x5440);
  virtual HRESULT get_OutputPhases(IIviACPwrOutputPhases** val) = 0;
  virtual HRESULT get_ArbWaveform(IIviACPwrArbWaveform** val) = 0;

 protected:
  ~IIviACPwr() = default;
};

}  // namespace hvzelta
