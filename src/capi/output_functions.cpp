// The functions of the output: a getter and a setter for each setting of
// HVZELTA_OUTPUT_PROPERTIES (hvzelta_Get<P>, hvzelta_Set<P>), and the output's operations, which hand
// back the VISA status of their exchange in Val. Getters and operations act
// on the first output the channel name selects; setters on each in turn.

#include "acpwr/output_properties.h"
#include "capi/c_frame.h"
#include "hvzelta.h"

namespace hvzelta::capi {
namespace {

using Output = IHalvornZeltaOutput;

// The common shape: only Val comes back.
template <class Member>
ViStatus ValOnlyOperation(ViSession vi, ViConstString channelName, ViInt32* Val, Member member) {
  VisaStatusCode val{};
  const ViStatus status =
      QueryFirst<Outputs>(vi, channelName, {{"Val", Val}}, [&](Output& output) { return (output.*member)(&val); });
  if (status >= 0) *Val = val;
  return status;
}

template <class Member>
ViStatus MinMaxOperation(ViSession vi, ViConstString channelName, ViReal64* Min, ViReal64* Max, ViInt32* Val,
                         Member member) {
  double min = 0;
  double max = 0;
  VisaStatusCode val{};
  const ViStatus status = QueryFirst<Outputs>(vi, channelName, {{"Min", Min}, {"Max", Max}, {"Val", Val}},
                                              [&](Output& output) { return (output.*member)(&min, &max, &val); });
  if (status >= 0) {
    *Min = min;
    *Max = max;
    *Val = val;
  }
  return status;
}

template <class Member>
ViStatus MeasurementOperation(ViSession vi, ViConstString channelName, ViInt32 MeasurementType,
                              ViReal64* MeasurementVal, ViInt32* Val, Member member) {
  double measurement = 0;
  VisaStatusCode val{};
  const ViStatus status =
      QueryFirst<Outputs>(vi, channelName, {{"MeasurementVal", MeasurementVal}, {"Val", Val}}, [&](Output& output) {
        return (output.*member)(static_cast<HalvornZeltaMeasurementTypeEnum>(MeasurementType), &measurement, &val);
      });
  if (status >= 0) {
    *MeasurementVal = measurement;
    *Val = val;
  }
  return status;
}

}  // namespace
}  // namespace hvzelta::capi

using namespace hvzelta;
using namespace hvzelta::capi;

// hvzelta_Get<P> and hvzelta_Set<P> of each output setting, with the C type
// of its value.
#define HVZELTA_DEFINE_OUTPUT_PROPERTY(P, Type, ...)                                    \
  ViStatus hvzelta_Get##P(ViSession vi, ViConstString ChannelName, CTypeOf<Type>* P) { \
    return QueryValue<Outputs>(vi, ChannelName, P, #P, &Output::get_##P);               \
  }                                                                                     \
  ViStatus hvzelta_Set##P(ViSession vi, ViConstString ChannelName, CTypeOf<Type> P) {  \
    return ConfigureValue<Outputs>(vi, ChannelName, P, &Output::put_##P);               \
  }

HVZELTA_OUTPUT_PROPERTIES(HVZELTA_DEFINE_OUTPUT_PROPERTY)
#undef HVZELTA_DEFINE_OUTPUT_PROPERTY

ViStatus hvzelta_CanMeasure(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType, ViInt32 CouplingMode,
                            ViBoolean* State, ViInt32* Val) {
  VARIANT_BOOL state = VARIANT_FALSE;
  VisaStatusCode val{};
  const ViStatus status = QueryFirst<Outputs>(vi, ChannelName, {{"State", State}, {"Val", Val}}, [&](Output& output) {
    return output.CanMeasure(static_cast<HalvornZeltaMeasurementTypeEnum>(MeasurementType),
                             static_cast<HalvornZeltaCouplingModeEnum>(CouplingMode), &state, &val);
  });
  if (status >= 0) {
    *State = Converter<VARIANT_BOOL>::ToC(state);
    *Val = val;
  }
  return status;
}

ViStatus hvzelta_Fetch(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType, ViReal64* MeasurementVal,
                       ViInt32* Val) {
  return MeasurementOperation(vi, ChannelName, MeasurementType, MeasurementVal, Val, &Output::Fetch);
}

ViStatus hvzelta_Measure(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType, ViReal64* MeasurementVal,
                         ViInt32* Val) {
  return MeasurementOperation(vi, ChannelName, MeasurementType, MeasurementVal, Val, &Output::Measure);
}

ViStatus hvzelta_InitiateMeasurement2(ViSession vi, ViConstString ChannelName, ViInt32* Val) {
  return ValOnlyOperation(vi, ChannelName, Val, &Output::InitiateMeasurement);
}

ViStatus hvzelta_QueryCurrentLimitMinMax2(ViSession vi, ViConstString ChannelName, ViReal64* Min, ViReal64* Max,
                                          ViInt32* Val) {
  return MinMaxOperation(vi, ChannelName, Min, Max, Val, &Output::QueryCurrentLimitMinMax);
}

ViStatus hvzelta_QueryCurrentOffsetMinMax(ViSession vi, ViConstString ChannelName, ViReal64* Min, ViReal64* Max,
                                          ViInt32* Val) {
  return MinMaxOperation(vi, ChannelName, Min, Max, Val, &Output::QueryCurrentOffsetMinMax);
}

ViStatus hvzelta_QueryFrequencyMinMax(ViSession vi, ViConstString ChannelName, ViReal64* Min, ViReal64* Max,
                                      ViInt32* Val) {
  return MinMaxOperation(vi, ChannelName, Min, Max, Val, &Output::QueryFrequencyMinMax);
}

ViStatus hvzelta_QueryVoltageLevelMinMax(ViSession vi, ViConstString ChannelName, ViReal64* Min, ViReal64* Max,
                                         ViInt32* Val) {
  return MinMaxOperation(vi, ChannelName, Min, Max, Val, &Output::QueryVoltageLevelMinMax);
}

ViStatus hvzelta_QueryVoltageOffsetMinMax(ViSession vi, ViConstString ChannelName, ViReal64* Min, ViReal64* Max,
                                          ViInt32* Val) {
  return MinMaxOperation(vi, ChannelName, Min, Max, Val, &Output::QueryVoltageOffsetMinMax);
}

ViStatus hvzelta_QueryState(ViSession vi, ViConstString ChannelName, ViInt32 OutputState, ViBoolean* StatusBit,
                            ViInt32* Val) {
  VARIANT_BOOL bit = VARIANT_FALSE;
  VisaStatusCode val{};
  const ViStatus status =
      QueryFirst<Outputs>(vi, ChannelName, {{"StatusBit", StatusBit}, {"Val", Val}}, [&](Output& output) {
        return output.QueryState(static_cast<HalvornZeltaOutputStateEnum>(OutputState), &bit, &val);
      });
  if (status >= 0) {
    *StatusBit = Converter<VARIANT_BOOL>::ToC(bit);
    *Val = val;
  }
  return status;
}

ViStatus hvzelta_ResetOutputProtection(ViSession vi, ViConstString ChannelName, ViInt32* Val) {
  return ValOnlyOperation(vi, ChannelName, Val, &Output::ResetOutputProtection);
}

ViStatus hvzelta_ResetCurrentMaxHold2(ViSession vi, ViConstString ChannelName, ViInt32* Val) {
  return ValOnlyOperation(vi, ChannelName, Val, &Output::ResetCurrentMaxHold);
}
