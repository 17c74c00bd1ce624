#include "acpwr/halvorn_zelta_output.h"

#include <array>
#include <cmath>

#include "acpwr/member_exchange.h"
#include "acpwr/property_row.h"
#include "core/interface_table.h"

namespace hvzelta {

namespace {

using Output = IHalvornZeltaOutput;
constexpr std::string_view kInterface = "IHalvornZeltaOutput";

const InterfaceMembers kMembers{Output::kIid, kInterface};

// Front-panel ammeter items, by value.
constexpr std::array<std::string_view, 4> kAmmeterWords{"RMS", "AVG", "PEAK", "WATT"};

HRESULT GetAmmeterItem(CNode& node, HalvornZeltaAmmeterItemEnum* val) {
  std::string reply;
  const HRESULT hr = QueryText(node, "DISP:AMM?", reply);
  if (Failed(hr)) return hr;
  // An instrument that answers anything else shows the average.
  *val = HalvornZeltaAmmeterItemAverage;
  for (std::size_t item = 0; item < kAmmeterWords.size(); ++item) {
    if (reply == kAmmeterWords[item]) *val = static_cast<HalvornZeltaAmmeterItemEnum>(item);
  }
  return S_OK;
}

HRESULT PutAmmeterItem(CNode& node, HalvornZeltaAmmeterItemEnum val, std::string_view) {
  if (val < 0 || static_cast<std::size_t>(val) >= kAmmeterWords.size()) {
    return node.Reporter().ReportInvalidInteger("put_AmmeterItem", "val", val);
  }
  return DefaultWrite(node, "DISP:AMM " + std::string(kAmmeterWords[static_cast<std::size_t>(val)]));
}

HRESULT GetAverageEnabled(CNode&, VARIANT_BOOL* val) {
  // Averaging is always on; the count is set through Average.
  *val = 1;
  return S_OK;
}

bool IsAverageCount(double count) {
  for (int valid : {1, 2, 4, 8, 16}) {
    if (count == valid) return true;
  }
  return false;
}

HRESULT GetAverage(CNode& node, HalvornZeltaAverageEnum* val) {
  double count = 0;
  const HRESULT hr = QueryReal(node, "SENS:AVER?", count);
  if (Failed(hr)) return hr;
  *val = IsAverageCount(count) ? static_cast<HalvornZeltaAverageEnum>(count) : HalvornZeltaAverage_1;
  return S_OK;
}

HRESULT PutAverage(CNode& node, HalvornZeltaAverageEnum val, std::string_view) {
  if (!IsAverageCount(val)) return S_OK;
  return DefaultWrite(node, "SENS:AVER " + std::to_string(static_cast<int>(val)));
}

HRESULT GetHoldTime(CNode& node, HalvornZeltaHoldTimeEnum* val) {
  std::string reply;
  const HRESULT hr = QueryText(node, "SENS:CURR:HOLD?", reply);
  if (Succeeded(hr) && reply == "LONG") *val = HalvornZeltaHoldTimeLong;
  return hr;
}

HRESULT PutHoldTime(CNode& node, HalvornZeltaHoldTimeEnum val, std::string_view) {
  switch (val) {
    case HalvornZeltaHoldTimeShort:
      return DefaultWrite(node, "SENS:CURR:HOLD SHOR");
    case HalvornZeltaHoldTimeLong:
      return DefaultWrite(node, "SENS:CURR:HOLD LONG");
  }
  return S_OK;
}

// The rows of HVZELTA_OUTPUT_PROPERTIES, named k<Name>.
#define HVZ_ROW(Name, Type, Attribute, Write, Query, Response, Simulated, GetHook, PutHook) \
  const auto k##Name = kMembers.Row<Type>(#Name, Write, Query, Response, Simulation::Simulated, GetHook, PutHook);
HVZELTA_OUTPUT_PROPERTIES(HVZ_ROW)
#undef HVZ_ROW

// Methods that send one command and read nothing back.
const MemberDescriptor kInitiateMeasurement = kMembers.Method("InitiateMeasurement");
const MemberDescriptor kResetOutputProtection = kMembers.Method("ResetOutputProtection");
const MemberDescriptor kResetCurrentMaxHold = kMembers.Method("ResetCurrentMaxHold");

// The instrument's minimum and maximum of a setting.
struct MinMaxQuery {
  MemberDescriptor member;
  std::string_view minimum;
  std::string_view maximum;
};

const MinMaxQuery kVoltageLevelMinMax{kMembers.Method("QueryVoltageLevelMinMax"), "VOLT? MIN", "VOLT? MAX"};
const MinMaxQuery kVoltageOffsetMinMax{kMembers.Method("QueryVoltageOffsetMinMax"), "VOLT:OFFS? MIN", "VOLT:OFFS? MAX"};
const MinMaxQuery kFrequencyMinMax{kMembers.Method("QueryFrequencyMinMax"), "FREQ? MIN", "FREQ? MAX"};
const MinMaxQuery kCurrentLimitMinMax{kMembers.Method("QueryCurrentLimitMinMax"), "CURR? MIN", "CURR? MAX"};
const MinMaxQuery kCurrentOffsetMinMax{kMembers.Method("QueryCurrentOffsetMinMax"), "CURR:OFFS? MIN", "CURR:OFFS? MAX"};

HRESULT QueryMinMax(CNode& node, const MinMaxQuery& query, double* Min, double* Max, VisaStatusCode* Val) {
  return node.RunFrame(query.member, {InOut("Min", Min), InOut("Max", Max), Out("Val", Val)}, [&] {
    const HRESULT hr = QueryReal(node, query.minimum, *Min);
    return Failed(hr) ? hr : QueryReal(node, query.maximum, *Max);
  });
}

// The measured quantities and the commands that fetch or measure them.
struct MeasurementCommand {
  HalvornZeltaMeasurementTypeEnum type;
  std::string_view fetch;
  std::string_view measure;
};

constexpr std::array kMeasurementCommands{
    MeasurementCommand{HalvornZeltaMeasurementTypeCurrentDC, "FETC:CURR?", "MEAS:CURR?"},
    MeasurementCommand{HalvornZeltaMeasurementTypeVoltageDC, "FETC:VOLT?", "MEAS:VOLT?"},
    MeasurementCommand{HalvornZeltaMeasurementTypePowerDC, "FETC:POW?", "MEAS:POW?"},
    MeasurementCommand{HalvornZeltaMeasurementTypeFrequency, "FETC:FREQ?", "MEAS:FREQ?"},
    MeasurementCommand{HalvornZeltaMeasurementTypeCurrentAC, "FETC:CURR:AC?", "MEAS:CURR:AC?"},
    MeasurementCommand{HalvornZeltaMeasurementTypeCurrentMax, "FETC:CURR:AMPL:MAX?", "MEAS:CURR:AMPL:MAX?"},
    MeasurementCommand{HalvornZeltaMeasurementTypeCurrentMaxHold, "FETC:CURR:AMPL:MAX:HOLD?",
                       "MEAS:CURR:AMPL:MAX:HOLD?"},
    MeasurementCommand{HalvornZeltaMeasurementTypeCurrentCrestFactor, "FETC:CURR:CRES?", "MEAS:CURR:CRES?"},
    MeasurementCommand{HalvornZeltaMeasurementTypeVoltageAC, "FETC:VOLT:AC?", "MEAS:VOLT:AC?"},
    MeasurementCommand{HalvornZeltaMeasurementTypePowerAC, "FETC:POW:AC?", "MEAS:POW:AC?"},
    MeasurementCommand{HalvornZeltaMeasurementTypeACApparent, "FETC:POW:AC:APP?", "MEAS:POW:AC:APP?"},
    MeasurementCommand{HalvornZeltaMeasurementTypePowerACReactive, "FETC:POW:AC:REAC?", "MEAS:POW:AC:REAC?"},
    MeasurementCommand{HalvornZeltaMeasurementTypeACPowerFactor, "FETC:POW:AC:PFAC?", "MEAS:POW:AC:PFAC?"},
};

const MemberDescriptor kFetch = kMembers.Method("Fetch");
const MemberDescriptor kMeasure = kMembers.Method("Measure");

HRESULT ReadMeasurement(CNode& node, const MemberDescriptor& member, std::string_view MeasurementCommand::*command,
                        HalvornZeltaMeasurementTypeEnum type, double* MeasurementVal, VisaStatusCode* Val) {
  return node.RunFrame(member, {In("MeasurementType", type), InOut("MeasurementVal", MeasurementVal), Out("Val", Val)},
                       [&] {
                         for (const MeasurementCommand& row : kMeasurementCommands) {
                           if (row.type == type) return QueryReal(node, row.*command, *MeasurementVal);
                         }
                         return node.Reporter().ReportInvalidInteger(member.MemberName(), "MeasurementType", type);
                       });
}

// Status register bits of the output states.
struct StateBit {
  HalvornZeltaOutputStateEnum state;
  std::string_view registerQuery;
  int mask;
};

constexpr std::string_view kOperationCondition = "STAT:OPER:COND?";
constexpr std::string_view kQuestionable = "STAT:QUES?";
constexpr std::array kStateBits{
    StateBit{HalvornZeltaOutputStateConstantVoltage, kOperationCondition, 0x100},
    StateBit{HalvornZeltaOutputStateMeasuring, kOperationCondition, 0x10},
    StateBit{HalvornZeltaOutputStateWaitingForTrigger, kOperationCondition, 0x40},
    StateBit{HalvornZeltaOutputStateOverVoltage, kQuestionable, 0x1},
    StateBit{HalvornZeltaOutputStateOverCurrent, kQuestionable, 0x2},
    StateBit{HalvornZeltaOutputStateUnregulated, kQuestionable, 0x100},
    StateBit{HalvornZeltaOutputStateDSPError, kQuestionable, 0x1},
    StateBit{HalvornZeltaOutputStateOverTemperature, kQuestionable, 0x10},
    StateBit{HalvornZeltaOutputStateOverPower, kQuestionable, 0x20},
    StateBit{HalvornZeltaOutputStateCurrentOverload, kQuestionable, 0x1000},
    StateBit{HalvornZeltaOutputStatePowerOverload, kQuestionable, 0x1},
    StateBit{HalvornZeltaOutputStateCurrentPkOverload, kQuestionable, 0x1000},
};

const MemberDescriptor kQueryState = kMembers.Method("QueryState");

// Which measurements make sense in which coupling mode.
enum class Group { DcQuantities, AnyCoupling, AcQuantities };

bool GroupOf(HalvornZeltaMeasurementTypeEnum type, Group& group) {
  switch (type) {
    case HalvornZeltaMeasurementTypeCurrentDC:
    case HalvornZeltaMeasurementTypeVoltageDC:
    case HalvornZeltaMeasurementTypePowerDC:
      group = Group::DcQuantities;
      return true;
    case HalvornZeltaMeasurementTypeFrequency:
    case HalvornZeltaMeasurementTypeCurrentMax:
    case HalvornZeltaMeasurementTypeCurrentMaxHold:
      group = Group::AnyCoupling;
      return true;
    case HalvornZeltaMeasurementTypeCurrentAC:
    case HalvornZeltaMeasurementTypeCurrentCrestFactor:
    case HalvornZeltaMeasurementTypeVoltageAC:
    case HalvornZeltaMeasurementTypePowerAC:
    case HalvornZeltaMeasurementTypeACApparent:
    case HalvornZeltaMeasurementTypePowerACReactive:
    case HalvornZeltaMeasurementTypeACPowerFactor:
      group = Group::AcQuantities;
      return true;
  }
  return false;
}

bool MeasuresIn(Group group, HalvornZeltaCouplingModeEnum coupling) {
  switch (coupling) {
    case HalvornZeltaCouplingModeAC:
    case HalvornZeltaCouplingModeExternalAC:
      return group != Group::DcQuantities;
    case HalvornZeltaCouplingModeDC:
      return group != Group::AcQuantities;
    case HalvornZeltaCouplingModeACDC:
    case HalvornZeltaCouplingModeExternalDC:
      return true;
  }
  return false;
}

}  // namespace

HRESULT HalvornZeltaOutput::QueryInterface(const IID& iid, void** object) {
  auto* self = static_cast<IHalvornZeltaOutput*>(this);
  const HRESULT hr = FindInterface({{IID_IUnknown, self}, {IHalvornZeltaOutput::kIid, self}}, iid, object);
  if (Succeeded(hr)) AddRef();
  return hr;
}

HRESULT HalvornZeltaOutput::CanMeasure(HalvornZeltaMeasurementTypeEnum MeasurementType,
                                       HalvornZeltaCouplingModeEnum CouplingMode, VARIANT_BOOL* State,
                                       VisaStatusCode*) {
  // A static table: no lock, no session, nothing to refuse; a null State
  // simply receives nothing.
  Group group{};
  if (State) *State = GroupOf(MeasurementType, group) && MeasuresIn(group, CouplingMode) ? 1 : 0;
  return S_OK;
}

HRESULT HalvornZeltaOutput::InitiateMeasurement(VisaStatusCode* Val) {
  return RunFrame(kInitiateMeasurement, {Out("Val", Val)}, [&] {
    FormatArgs nothing({});
    return DefaultQuery(*this, "INIT:ACQ", "", nothing);
  });
}

HRESULT HalvornZeltaOutput::Fetch(HalvornZeltaMeasurementTypeEnum MeasurementType, double* MeasurementVal,
                                  VisaStatusCode* Val) {
  return ReadMeasurement(*this, kFetch, &MeasurementCommand::fetch, MeasurementType, MeasurementVal, Val);
}

HRESULT HalvornZeltaOutput::Measure(HalvornZeltaMeasurementTypeEnum MeasurementType, double* MeasurementVal,
                                    VisaStatusCode* Val) {
  return ReadMeasurement(*this, kMeasure, &MeasurementCommand::measure, MeasurementType, MeasurementVal, Val);
}

HRESULT HalvornZeltaOutput::QueryCurrentLimitMinMax(double* Min, double* Max, VisaStatusCode* Val) {
  return QueryMinMax(*this, kCurrentLimitMinMax, Min, Max, Val);
}
HRESULT HalvornZeltaOutput::QueryCurrentOffsetMinMax(double* Min, double* Max, VisaStatusCode* Val) {
  return QueryMinMax(*this, kCurrentOffsetMinMax, Min, Max, Val);
}
HRESULT HalvornZeltaOutput::QueryVoltageOffsetMinMax(double* Min, double* Max, VisaStatusCode* Val) {
  return QueryMinMax(*this, kVoltageOffsetMinMax, Min, Max, Val);
}
HRESULT HalvornZeltaOutput::QueryFrequencyMinMax(double* Min, double* Max, VisaStatusCode* Val) {
  return QueryMinMax(*this, kFrequencyMinMax, Min, Max, Val);
}
HRESULT HalvornZeltaOutput::QueryVoltageLevelMinMax(double* Min, double* Max, VisaStatusCode* Val) {
  return QueryMinMax(*this, kVoltageLevelMinMax, Min, Max, Val);
}

HRESULT HalvornZeltaOutput::QueryState(HalvornZeltaOutputStateEnum OutputState, VARIANT_BOOL* StatusBit,
                                       VisaStatusCode* Val) {
  return RunFrame(kQueryState, {In("OutputState", OutputState), InOut("StatusBit", StatusBit), Out("Val", Val)}, [&] {
    for (const StateBit& bit : kStateBits) {
      if (bit.state != OutputState) continue;
      double value = 0;
      const HRESULT hr = QueryReal(*this, bit.registerQuery, value);
      const double truncated = std::isfinite(value) ? std::trunc(value) : 0.0;
      const auto bits = truncated > 0x7FFFFFFF || truncated < -0x7FFFFFFF ? 0 : static_cast<std::int32_t>(truncated);
      *StatusBit = (bits & bit.mask) != 0 ? 1 : 0;
      return hr;
    }
    return S_OK;
  });
}

HRESULT HalvornZeltaOutput::ResetOutputProtection(VisaStatusCode* Val) {
  return RunFrame(kResetOutputProtection, {Out("Val", Val)}, [&] { return DefaultWrite(*this, "OUTP:PROT:CLE"); });
}

HRESULT HalvornZeltaOutput::ResetCurrentMaxHold(VisaStatusCode* Val) {
  return RunFrame(kResetCurrentMaxHold, {Out("Val", Val)}, [&] { return DefaultWrite(*this, "SENS:CURR:HOLD:CLE"); });
}

#define HVZ_PROPERTY(Name, Type, ...) HVZELTA_PROPERTY_MEMBERS(HalvornZeltaOutput, Name, Type, k##Name, *this)
HVZELTA_OUTPUT_PROPERTIES(HVZ_PROPERTY)
#undef HVZ_PROPERTY

}  // namespace hvzelta
