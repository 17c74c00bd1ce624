#pragma once

// Enumerations of the object interface: the driver's own and the published AC
// power class enumerations its class-compliant interfaces use.

#include <cstdint>

namespace hvzelta {

enum HalvornZeltaAmmeterItemEnum : std::int32_t {
  HalvornZeltaAmmeterItemRMS = 0,
  HalvornZeltaAmmeterItemAverage = 1,
  HalvornZeltaAmmeterItemPeak = 2,
  HalvornZeltaAmmeterItemWattage = 3,
};

enum HalvornZeltaCouplingModeEnum : std::int32_t {
  HalvornZeltaCouplingModeAC = 1,
  HalvornZeltaCouplingModeDC = 2,
  HalvornZeltaCouplingModeACDC = 3,
  HalvornZeltaCouplingModeExternalAC = 5,
  HalvornZeltaCouplingModeExternalDC = 6,
};

enum HalvornZeltaCurrentLimitBehaviorEnum : std::int32_t {
  HalvornZeltaCurrentLimitBehaviorRegulate = 0,
  HalvornZeltaCurrentLimitBehaviorTrip = 1,
};

enum HalvornZeltaHoldTimeEnum : std::int32_t {
  HalvornZeltaHoldTimeShort = 0,
  HalvornZeltaHoldTimeLong = 1,
};

enum HalvornZeltaTriggerSourceEnum : std::int32_t {
  HalvornZeltaTriggerSourceImmediate = 0,
  HalvornZeltaTriggerSourceSwTrigFunc = 2,
};

enum HalvornZeltaOutputStateEnum : std::int32_t {
  HalvornZeltaOutputStateConstantVoltage = 0,
  HalvornZeltaOutputStateOverVoltage = 2,
  HalvornZeltaOutputStateOverCurrent = 3,
  HalvornZeltaOutputStateUnregulated = 4,
  HalvornZeltaOutputStateDSPError = 1001,
  HalvornZeltaOutputStateOverTemperature = 1002,
  HalvornZeltaOutputStateOverPower = 1003,
  HalvornZeltaOutputStateCurrentOverload = 1004,
  HalvornZeltaOutputStatePowerOverload = 1005,
  HalvornZeltaOutputStateCurrentPkOverload = 1006,
  HalvornZeltaOutputStateMeasuring = 2001,
  HalvornZeltaOutputStateWaitingForTrigger = 2002,
};

enum HalvornZeltaMeasurementTypeEnum : std::int32_t {
  HalvornZeltaMeasurementTypeCurrentDC = 0,
  HalvornZeltaMeasurementTypeVoltageDC = 1,
  HalvornZeltaMeasurementTypePowerDC = 2,
  HalvornZeltaMeasurementTypeFrequency = 3,
  HalvornZeltaMeasurementTypeCurrentAC = 1001,
  HalvornZeltaMeasurementTypeCurrentMax = 1002,
  HalvornZeltaMeasurementTypeCurrentMaxHold = 1003,
  HalvornZeltaMeasurementTypeCurrentCrestFactor = 1004,
  HalvornZeltaMeasurementTypeVoltageAC = 1011,
  HalvornZeltaMeasurementTypePowerAC = 1021,
  HalvornZeltaMeasurementTypeACApparent = 1022,
  HalvornZeltaMeasurementTypePowerACReactive = 1023,
  HalvornZeltaMeasurementTypeACPowerFactor = 1024,
};

enum HalvornZeltaAverageEnum : std::int32_t {
  HalvornZeltaAverage_1 = 1,
  HalvornZeltaAverage_2 = 2,
  HalvornZeltaAverage_4 = 4,
  HalvornZeltaAverage_8 = 8,
  HalvornZeltaAverage_16 = 16,
};

// The status every driver-specific trigger and output method hands back in
// its "Val" out-parameter.
enum VisaStatusCode : std::int32_t {
  VisaStatusSuccess = 0,
};

enum IviACPwrMeasurementTypeEnum : std::int32_t {
  IviACPwrMeasurementTypeVoltageRmsLN = 0,
  IviACPwrMeasurementTypeCurrentRms = 1,
  IviACPwrMeasurementTypeFrequency = 2,
  IviACPwrMeasurementTypeVoltageDC = 3,
  IviACPwrMeasurementTypeCurrentDC = 4,
  IviACPwrMeasurementTypePowerFactor = 5,
  IviACPwrMeasurementTypeCrestFactor = 6,
  IviACPwrMeasurementTypeCurrentPeak = 7,
  IviACPwrMeasurementTypePowerVA = 8,
  IviACPwrMeasurementTypePowerReal = 9,
  IviACPwrMeasurementTypePowerDC = 10,
  IviACPwrMeasurementTypePhaseAngle = 11,
  IviACPwrMeasurementTypeVoltageRmsLL = 12,
  IviACPwrMeasurementTypeCurrentOHD = 13,
  IviACPwrMeasurementTypeCurrentEHD = 14,
  IviACPwrMeasurementTypeCurrentTHD = 15,
  IviACPwrMeasurementTypeVoltageOHD = 16,
  IviACPwrMeasurementTypeVoltageEHD = 17,
  IviACPwrMeasurementTypeVoltageTHD = 18,
};

enum IviACPwrMeasurementTypeArrayEnum : std::int32_t {
  IviACPwrMeasurementTypeArrayCurrentHarmonicPhase = 0,
  IviACPwrMeasurementTypeArrayCurrentHarmonicAbs = 1,
  IviACPwrMeasurementTypeArrayCurrentHarmonicPct = 2,
  IviACPwrMeasurementTypeArrayVoltageHarmonicPhase = 3,
  IviACPwrMeasurementTypeArrayVoltageHarmonicAbs = 4,
  IviACPwrMeasurementTypeArrayVoltageHarmonicPct = 5,
  IviACPwrMeasurementTypeArrayCurrentCycle = 6,
  IviACPwrMeasurementTypeArrayVoltageCycle = 7,
};

enum IviACPwrMeasurementGroupEnum : std::int32_t {
  IviACPwrMeasurementGroupBase = 1,
  IviACPwrMeasurementGroupHarmonic = 2,
  IviACPwrMeasurementGroupDistortion = 4,
  IviACPwrMeasurementGroupWaveform = 8,
};

enum IviACPwrDCGenerationEnum : std::int32_t {
  IviACPwrDCGenerationModeACOnly = 0,
  IviACPwrDCGenerationModeDCOnly = 1,
  IviACPwrDCGenerationModeACPlusDC = 2,
};

enum IviACPwrWaveformCatalogEnum : std::int32_t {
  IviACPwrWaveformCatalogFixed = 0,
  IviACPwrWaveformCatalogUser = 1,
  IviACPwrWaveformCatalogAll = 2,
};

}  // namespace hvzelta
