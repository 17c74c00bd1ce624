#pragma once

// The handlers that the command table names. A handler checks its
// parameters, acts on the instrument and adds its response data; the table
// row's argument says which setting, quantity or register it serves.

#include "command_call.h"

namespace zta_sim::handlers {

// IEEE 488.2 common commands and the SYSTem subsystem.
void Identify(Call& call);
void Reset(Call& call);
void ClearStatus(Call& call);
void QueryEventStatus(Call& call);
void SetEnableRegister(Call& call);    // argument: EnableRegister
void QueryEnableRegister(Call& call);  // argument: EnableRegister
void QueryStatusByte(Call& call);
void OperationComplete(Call& call);
void QueryOperationComplete(Call& call);
void Wait(Call& call);
void SelfTest(Call& call);
void Save(Call& call);
void Recall(Call& call);
void Trigger(Call& call);
void NextError(Call& call);
void ErrorCount(Call& call);
void Version(Call& call);

enum class EnableRegister { EventStatus, ServiceRequest };

// Output settings.
void SetNumber(Call& call);    // argument: NumericSetting
void QueryNumber(Call& call);  // argument: NumericSetting
void SetRange(Call& call);
void QueryRange(Call& call);
void SetChoice(Call& call);    // argument: ChoiceSetting
void QueryChoice(Call& call);  // argument: ChoiceSetting
void SetSwitch(Call& call);    // argument: SwitchSetting
void QuerySwitch(Call& call);  // argument: SwitchSetting
void SetOutput(Call& call);
void QueryOutput(Call& call);
void ClearProtection(Call& call);

// Trigger system.
void InitiateTransient(Call& call);
void InitiateAcquire(Call& call);
void Abort(Call& call);

// Measurement.
void Measure(Call& call);  // argument: Quantity
void Fetch(Call& call);    // argument: Quantity
void SetAverage(Call& call);
void QueryAverage(Call& call);
void ClearPeakHold(Call& call);

// STATus subsystem.
enum class StatusGroup { Operation, Questionable };
void QueryCondition(Call& call);  // argument: StatusGroup
void QueryEvent(Call& call);      // argument: StatusGroup
void SetEnable(Call& call);       // argument: StatusGroup
void QueryEnable(Call& call);     // argument: StatusGroup
void PresetStatus(Call& call);
// Questionable condition bits a fault would raise (over-voltage, over-temperature, unregulated).
void RaiseQuestionable(Call& call);
void QueryRaisedQuestionable(Call& call);

}  // namespace zta_sim::handlers
