#include "command_table.h"

#include <array>

#include "command_handlers.h"

namespace zta_sim {

namespace {

using namespace handlers;

template <typename Enum>
constexpr int Arg(Enum value) {
  return static_cast<int>(value);
}

constexpr CommandRow kCommands[] = {
    // IEEE 488.2 common commands.
    {"*IDN", nullptr, Identify, 0},
    {"*RST", Reset, nullptr, 0},
    {"*CLS", ClearStatus, nullptr, 0},
    {"*ESR", nullptr, QueryEventStatus, 0},
    {"*ESE", SetEnableRegister, QueryEnableRegister, Arg(EnableRegister::EventStatus)},
    {"*SRE", SetEnableRegister, QueryEnableRegister, Arg(EnableRegister::ServiceRequest)},
    {"*STB", nullptr, QueryStatusByte, 0},
    {"*OPC", OperationComplete, QueryOperationComplete, 0},
    {"*WAI", Wait, nullptr, 0},
    {"*TST", nullptr, SelfTest, 0},
    {"*SAV", Save, nullptr, 0},
    {"*RCL", Recall, nullptr, 0},
    {"*TRG", Trigger, nullptr, 0},
    {"SYSTem:ERRor[:NEXT]", nullptr, NextError, 0},
    {"SYSTem:ERRor:COUNt", nullptr, ErrorCount, 0},
    {"SYSTem:VERSion", nullptr, Version, 0},

    // Output settings.
    {"[SOURce#:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", SetNumber, QueryNumber, Arg(NumericSetting::Voltage)},
    {"[SOURce#:]VOLTage[:LEVel]:TRIGgered[:AMPLitude]", SetNumber, QueryNumber,
     Arg(NumericSetting::TriggeredVoltage)},
    {"[SOURce#:]VOLTage:OFFSet[:IMMediate]", SetNumber, QueryNumber, Arg(NumericSetting::VoltageOffset)},
    {"[SOURce#:]VOLTage:OFFSet:TRIGgered", SetNumber, QueryNumber, Arg(NumericSetting::TriggeredVoltageOffset)},
    {"[SOURce#:]VOLTage:RANGe", SetRange, QueryRange, 0},
    {"[SOURce#:]FREQuency[:CW]", SetNumber, QueryNumber, Arg(NumericSetting::Frequency)},
    {"[SOURce#:]FREQuency:TRIGgered", SetNumber, QueryNumber, Arg(NumericSetting::TriggeredFrequency)},
    {"[SOURce#:]CURRent[:LEVel][:IMMediate][:AMPLitude]", SetNumber, QueryNumber,
     Arg(NumericSetting::CurrentLimit)},
    {"[SOURce#:]CURRent:OFFSet[:IMMediate]", SetNumber, QueryNumber, Arg(NumericSetting::CurrentOffset)},
    {"[SOURce#:]CURRent:PROTection:STATe", SetSwitch, QuerySwitch, Arg(SwitchSetting::TripOnCurrentLimit)},
    {"OUTPut#[:STATe]", SetOutput, QueryOutput, 0},
    {"OUTPut#:COUPling", SetChoice, QueryChoice, Arg(ChoiceSetting::Coupling)},
    {"OUTPut#:PROTection:CLEar", ClearProtection, nullptr, 0},

    // Trigger system.
    {"TRIGger:SYNChronous:SOURce", SetChoice, QueryChoice, Arg(ChoiceSetting::SyncSource)},
    {"TRIGger:SYNChronous:PHASe", SetNumber, QueryNumber, Arg(NumericSetting::SyncPhase)},
    {"TRIGger:TRANsient:SOURce", SetChoice, QueryChoice, Arg(ChoiceSetting::TransientSource)},
    {"TRIGger:ACQuire:SOURce", SetChoice, QueryChoice, Arg(ChoiceSetting::AcquireSource)},
    {"INITiate[:IMMediate]:TRANsient", InitiateTransient, nullptr, 0},
    {"INITiate[:IMMediate]:ACQuire", InitiateAcquire, nullptr, 0},
    {"INITiate:CONTinuous:ACQuire", SetSwitch, QuerySwitch, Arg(SwitchSetting::ContinuousAcquire)},
    {"ABORt", Abort, nullptr, 0},

    // Measurement: MEASure acquires anew, FETCh reads the last acquisition.
    {"MEASure#[:SCALar]:CURRent[:DC]", nullptr, Measure, Arg(Quantity::CurrentDc)},
    {"MEASure#[:SCALar]:VOLTage[:DC]", nullptr, Measure, Arg(Quantity::VoltageDc)},
    {"MEASure#[:SCALar]:POWer[:DC]", nullptr, Measure, Arg(Quantity::PowerDc)},
    {"MEASure#[:SCALar]:FREQuency", nullptr, Measure, Arg(Quantity::Frequency)},
    {"MEASure#[:SCALar]:CURRent:AC", nullptr, Measure, Arg(Quantity::CurrentAc)},
    {"MEASure#[:SCALar]:CURRent:AMPLitude:MAXimum", nullptr, Measure, Arg(Quantity::CurrentPeak)},
    {"MEASure#[:SCALar]:CURRent:AMPLitude:MAXimum:HOLD", nullptr, Measure, Arg(Quantity::CurrentPeakHold)},
    {"MEASure#[:SCALar]:CURRent:CREStfactor", nullptr, Measure, Arg(Quantity::CurrentCrestFactor)},
    {"MEASure#[:SCALar]:VOLTage:AC", nullptr, Measure, Arg(Quantity::VoltageAc)},
    {"MEASure#[:SCALar]:POWer:AC[:REAL]", nullptr, Measure, Arg(Quantity::PowerAc)},
    {"MEASure#[:SCALar]:POWer:AC:APParent", nullptr, Measure, Arg(Quantity::PowerApparent)},
    {"MEASure#[:SCALar]:POWer:AC:REACtive", nullptr, Measure, Arg(Quantity::PowerReactive)},
    {"MEASure#[:SCALar]:POWer:AC:PFACtor", nullptr, Measure, Arg(Quantity::PowerFactor)},
    {"FETCh#[:SCALar]:CURRent[:DC]", nullptr, Fetch, Arg(Quantity::CurrentDc)},
    {"FETCh#[:SCALar]:VOLTage[:DC]", nullptr, Fetch, Arg(Quantity::VoltageDc)},
    {"FETCh#[:SCALar]:POWer[:DC]", nullptr, Fetch, Arg(Quantity::PowerDc)},
    {"FETCh#[:SCALar]:FREQuency", nullptr, Fetch, Arg(Quantity::Frequency)},
    {"FETCh#[:SCALar]:CURRent:AC", nullptr, Fetch, Arg(Quantity::CurrentAc)},
    {"FETCh#[:SCALar]:CURRent:AMPLitude:MAXimum", nullptr, Fetch, Arg(Quantity::CurrentPeak)},
    {"FETCh#[:SCALar]:CURRent:AMPLitude:MAXimum:HOLD", nullptr, Fetch, Arg(Quantity::CurrentPeakHold)},
    {"FETCh#[:SCALar]:CURRent:CREStfactor", nullptr, Fetch, Arg(Quantity::CurrentCrestFactor)},
    {"FETCh#[:SCALar]:VOLTage:AC", nullptr, Fetch, Arg(Quantity::VoltageAc)},
    {"FETCh#[:SCALar]:POWer:AC[:REAL]", nullptr, Fetch, Arg(Quantity::PowerAc)},
    {"FETCh#[:SCALar]:POWer:AC:APParent", nullptr, Fetch, Arg(Quantity::PowerApparent)},
    {"FETCh#[:SCALar]:POWer:AC:REACtive", nullptr, Fetch, Arg(Quantity::PowerReactive)},
    {"FETCh#[:SCALar]:POWer:AC:PFACtor", nullptr, Fetch, Arg(Quantity::PowerFactor)},
    {"SENSe#:AVERage[:COUNt]", SetAverage, QueryAverage, 0},
    {"SENSe#:CURRent:HOLD[:TIME]", SetChoice, QueryChoice, Arg(ChoiceSetting::HoldTime)},
    {"SENSe#:CURRent:HOLD:CLEar", ClearPeakHold, nullptr, 0},
    {"DISPlay:AMMeter", SetChoice, QueryChoice, Arg(ChoiceSetting::Ammeter)},

    // Status registers.
    {"STATus:OPERation:CONDition", nullptr, QueryCondition, Arg(StatusGroup::Operation)},
    {"STATus:OPERation[:EVENt]", nullptr, QueryEvent, Arg(StatusGroup::Operation)},
    {"STATus:OPERation:ENABle", SetEnable, QueryEnable, Arg(StatusGroup::Operation)},
    {"STATus:QUEStionable:CONDition", nullptr, QueryCondition, Arg(StatusGroup::Questionable)},
    {"STATus:QUEStionable[:EVENt]", nullptr, QueryEvent, Arg(StatusGroup::Questionable)},
    {"STATus:QUEStionable:ENABle", SetEnable, QueryEnable, Arg(StatusGroup::Questionable)},
    {"STATus:PRESet", PresetStatus, nullptr, 0},
    {"DIAGnostic:QUEStionable", RaiseQuestionable, QueryRaisedQuestionable, 0},
};

}  // namespace

std::span<const CommandRow> CommandTable() { return kCommands; }

const HeaderTree& CommandTree() {
  static const HeaderTree tree = [] {
    HeaderTree built;
    for (std::size_t row = 0; row < std::size(kCommands); ++row) built.Add(kCommands[row].pattern, static_cast<int>(row));
    return built;
  }();
  return tree;
}

}  // namespace zta_sim
