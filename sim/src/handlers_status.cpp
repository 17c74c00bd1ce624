// The STATus subsystem: condition, event and enable registers of the
// operation and questionable groups.

#include "command_handlers.h"
#include "parameter_decode.h"

namespace zta_sim::handlers {

namespace {

EventRegister& Group(Call& call) {
  StatusRegisters& status = call.core.status;
  return call.Argument<StatusGroup>() == StatusGroup::Operation ? status.operation : status.questionable;
}

}  // namespace

void QueryCondition(Call& call) {
  if (call.Expect(0)) call.ReplyInteger(Group(call).condition);
}

void QueryEvent(Call& call) {
  if (call.Expect(0)) call.ReplyInteger(Group(call).TakeEvent());
}

void SetEnable(Call& call) {
  if (!call.Expect(1)) return;
  if (const auto mask = DecodeInteger(call, call[0], 0, 0xFFFF)) Group(call).enable = static_cast<std::uint16_t>(*mask);
}

void QueryEnable(Call& call) {
  if (call.Expect(0)) call.ReplyInteger(Group(call).enable);
}

void RaiseQuestionable(Call& call) {
  if (!call.Expect(1)) return;
  if (const auto mask = DecodeInteger(call, call[0], 0, 0xFFFF)) {
    call.core.raisedQuestionable = static_cast<std::uint16_t>(*mask);
  }
}

void QueryRaisedQuestionable(Call& call) {
  if (call.Expect(0)) call.ReplyInteger(call.core.raisedQuestionable);
}

void PresetStatus(Call& call) {
  if (!call.Expect(0)) return;
  call.core.status.operation.enable = 0;
  call.core.status.questionable.enable = 0;
}

}  // namespace zta_sim::handlers
