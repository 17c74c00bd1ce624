// IEEE 488.2 common commands and the SYSTem subsystem.

#include <array>
#include <cstdint>
#include <string>

#include "command_handlers.h"
#include "parameter_decode.h"

namespace zta_sim::handlers {

namespace {

std::uint8_t StatusRegisters::*EnableField(EnableRegister which) {
  return which == EnableRegister::EventStatus ? &StatusRegisters::eventStatusEnable
                                              : &StatusRegisters::serviceRequestEnable;
}

std::optional<int> DecodeSlot(Call& call) {
  if (!call.Expect(1)) return std::nullopt;
  const auto slot = DecodeInteger(call, call[0], 0, InstrumentCore::kMemories - 1);
  if (!slot) return std::nullopt;
  return static_cast<int>(*slot);
}

}  // namespace

void Identify(Call& call) {
  if (call.Expect(0)) call.ReplyText(call.core.identity());
}

void Reset(Call& call) {
  if (call.Expect(0)) call.core.Reset();
}

void ClearStatus(Call& call) {
  if (call.Expect(0)) call.core.ClearStatus();
}

void QueryEventStatus(Call& call) {
  if (!call.Expect(0)) return;
  call.ReplyInteger(call.core.status.eventStatus);
  call.core.status.eventStatus = 0;
}

void SetEnableRegister(Call& call) {
  if (!call.Expect(1)) return;
  if (const auto value = DecodeInteger(call, call[0], 0, 255)) {
    call.core.status.*EnableField(call.Argument<EnableRegister>()) = static_cast<std::uint8_t>(*value);
  }
}

void QueryEnableRegister(Call& call) {
  if (call.Expect(0)) call.ReplyInteger(call.core.status.*EnableField(call.Argument<EnableRegister>()));
}

void QueryStatusByte(Call& call) {
  if (call.Expect(0)) call.ReplyInteger(call.core.StatusByte(call.messageAvailable()));
}

// Every operation completes at once, so the OPC bit is set right away.
void OperationComplete(Call& call) {
  if (call.Expect(0)) call.core.status.eventStatus |= kEsrOperationComplete;
}

void QueryOperationComplete(Call& call) {
  if (call.Expect(0)) call.ReplyInteger(1);
}

void Wait(Call& call) { call.Expect(0); }

void SelfTest(Call& call) {
  if (call.Expect(0)) call.ReplyInteger(0);
}

void Save(Call& call) {
  if (const auto slot = DecodeSlot(call)) call.core.Save(*slot);
}

void Recall(Call& call) {
  if (const auto slot = DecodeSlot(call)) call.core.Recall(*slot);
}

void Trigger(Call& call) {
  if (call.Expect(0)) call.core.BusTrigger();
}

void NextError(Call& call) {
  if (!call.Expect(0)) return;
  const ScpiError error = call.core.errors.Pop();
  std::string text = std::to_string(static_cast<int>(error));
  text += ",\"";
  text += ErrorText(error);
  text += '"';
  call.ReplyText(text);
}

void ErrorCount(Call& call) {
  if (call.Expect(0)) call.ReplyInteger(static_cast<long long>(call.core.errors.Count()));
}

void Version(Call& call) {
  if (call.Expect(0)) call.ReplyText("1999.0");
}

}  // namespace zta_sim::handlers
