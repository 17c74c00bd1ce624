#pragma once

// The driver-specific interfaces below the driver object: the output with its
// settings and measurements, the output phase, and the root's system, trigger
// and memory interfaces. Every driver-specific method of the output and the
// trigger interfaces ends with a "Val" out-parameter that receives the VISA
// status of the exchange.

#include <cstdint>

#include "hvzelta/com/bstr.h"
#include "hvzelta/com/types.h"
#include "hvzelta/com/unknown.h"
#include "hvzelta/enums.h"

namespace hvzelta {

struct SAFEARRAY;

class IHalvornZeltaOutput : public IUnknown {
 public:
  // {7851b49a-8d68-441a-b1c5-9bb2c26a5d07}
  static constexpr IID kIid{0x7851b49a, 0x8d68, 0x441a, {0xb1, 0xc5, 0x9b, 0xb2, 0xc2, 0x6a, 0x5d, 0x07}};
  // Whether `MeasurementType` makes sense in `CouplingMode`: State is 1 or 0.
  virtual HRESULT CanMeasure(HalvornZeltaMeasurementTypeEnum MeasurementType,
                             HalvornZeltaCouplingModeEnum CouplingMode, VARIANT_BOOL* State,
                             VisaStatusCode* Val) = 0;
  virtual HRESULT InitiateMeasurement(VisaStatusCode* Val) = 0;
  virtual HRESULT Fetch(HalvornZeltaMeasurementTypeEnum MeasurementType, double* MeasurementVal,
                        VisaStatusCode* Val) = 0;
  virtual HRESULT Measure(HalvornZeltaMeasurementTypeEnum MeasurementType, double* MeasurementVal,
                          VisaStatusCode* Val) = 0;
  virtual HRESULT QueryCurrentLimitMinMax(double* Min, double* Max, VisaStatusCode* Val) = 0;
  virtual HRESULT QueryCurrentOffsetMinMax(double* Min, double* Max, VisaStatusCode* Val) = 0;
  virtual HRESULT QueryVoltageOffsetMinMax(double* Min, double* Max, VisaStatusCode* Val) = 0;
  virtual HRESULT QueryFrequencyMinMax(double* Min, double* Max, VisaStatusCode* Val) = 0;
  virtual HRESULT QueryState(HalvornZeltaOutputStateEnum OutputState, VARIANT_BOOL* StatusBit,
                             VisaStatusCode* Val) = 0;
  virtual HRESULT QueryVoltageLevelMinMax(double* Min, double* Max, VisaStatusCode* Val) = 0;
  virtual HRESULT ResetOutputProtection(VisaStatusCode* Val) = 0;
  virtual HRESULT ResetCurrentMaxHold(VisaStatusCode* Val) = 0;
  // get_<Name>/put_<Name> of each setting, written by the build from the
  // settings' table (src/acpwr/output_properties.h).
#include "hvzelta/output_setting_members.h"

 protected:
  ~IHalvornZeltaOutput() = default;
};

// The output phase's own interface; its members are those of the AC power
// class interfaces it also carries.
class IHalvornZeltaOutputPhase : public IUnknown {
 public:
  // {b0c24366-c50e-40cc-8288-de79a2fae197}
  static constexpr IID kIid{0xb0c24366, 0xc50e, 0x40cc, {0x82, 0x88, 0xde, 0x79, 0xa2, 0xfa, 0xe1, 0x97}};

 protected:
  ~IHalvornZeltaOutputPhase() = default;
};

class IHalvornZeltaOutputs : public IUnknown {
 public:
  // {1b0125fe-42f3-48f7-bfc0-fe9441e1748d}
  static constexpr IID kIid{0x1b0125fe, 0x42f3, 0x48f7, {0xbf, 0xc0, 0xfe, 0x94, 0x41, 0xe1, 0x74, 0x8d}};
  virtual HRESULT get_Count(std::int32_t* val) = 0;
  virtual HRESULT get_Name(std::int32_t Index, BSTR* val) = 0;
  virtual HRESULT get_Item(BSTR Name, IHalvornZeltaOutput** val) = 0;

 protected:
  ~IHalvornZeltaOutputs() = default;
};

class IHalvornZeltaOutputPhases : public IUnknown {
 public:
  // {a90d1a69-48bb-43f5-a626-54c7b0100bb0}
  static constexpr IID kIid{0xa90d1a69, 0x48bb, 0x43f5, {0xa6, 0x26, 0x54, 0xc7, 0xb0, 0x10, 0x0b, 0xb0}};
  virtual HRESULT get_Count(std::int32_t* val) = 0;
  virtual HRESULT get_Item(BSTR Name, IHalvornZeltaOutputPhase** val) = 0;
  virtual HRESULT get_Name(std::int32_t Index, BSTR* val) = 0;

 protected:
  ~IHalvornZeltaOutputPhases() = default;
};

// Raw access to the instrument, outside the driver's formatted I/O.
class IHalvornZeltaSystem : public IUnknown {
 public:
  // {0c23e12f-f794-4d7e-9c24-794699eb5e6c}
  static constexpr IID kIid{0x0c23e12f, 0xf794, 0x4d7e, {0x9c, 0x24, 0x79, 0x46, 0x99, 0xeb, 0x5e, 0x6c}};
  virtual HRESULT ReadBytes(SAFEARRAY** val) = 0;
  virtual HRESULT ReadString(BSTR* val) = 0;
  virtual HRESULT WriteBytes(SAFEARRAY** Buffer, std::int64_t* val) = 0;
  virtual HRESULT WriteString(BSTR Data) = 0;
  virtual HRESULT get_IOTimeout(std::int32_t* val) = 0;
  virtual HRESULT put_IOTimeout(std::int32_t val) = 0;
  // The I/O session's direct-I/O object.
  virtual HRESULT get_DirectIO(IUnknown** val) = 0;

 protected:
  ~IHalvornZeltaSystem() = default;
};

class IHalvornZeltaTrigger : public IUnknown {
 public:
  // {f22ed9b5-e50d-4da9-9212-34c474356169}
  static constexpr IID kIid{0xf22ed9b5, 0xe50d, 0x4da9, {0x92, 0x12, 0x34, 0xc4, 0x74, 0x35, 0x61, 0x69}};
  virtual HRESULT Abort(VisaStatusCode* Val) = 0;
  virtual HRESULT Initiate(VisaStatusCode* Val) = 0;
  virtual HRESULT SendSoftwareTrigger(VisaStatusCode* Val) = 0;

 protected:
  ~IHalvornZeltaTrigger() = default;
};

class IHalvornZeltaMemory : public IUnknown {
 public:
  // {b50f5be4-50ed-48f6-8762-dfb516b63112}
  static constexpr IID kIid{0xb50f5be4, 0x50ed, 0x48f6, {0x87, 0x62, 0xdf, 0xb5, 0x16, 0xb6, 0x31, 0x12}};
  virtual HRESULT Recall(std::int32_t MemNo) = 0;
  virtual HRESULT Store(std::int32_t MemNo) = 0;

 protected:
  ~IHalvornZeltaMemory() = default;
};

}  // namespace hvzelta
