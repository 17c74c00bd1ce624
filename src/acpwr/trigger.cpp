// The driver's transient trigger system: abort, initiate and a software
// trigger, each one command sent as a complete message.

#include "acpwr/halvorn_zelta.h"
#include "acpwr/member_exchange.h"
#include "acpwr/property_row.h"

namespace hvzelta {

namespace {

const InterfaceMembers kTrigger{IHalvornZeltaTrigger::kIid, "IHalvornZeltaTrigger"};

const MemberDescriptor kAbort = kTrigger.Method("Abort");
const MemberDescriptor kInitiate = kTrigger.Method("Initiate");
const MemberDescriptor kSendSoftwareTrigger = kTrigger.Method("SendSoftwareTrigger");

// A trigger command: sent as a complete message, with nothing to read back.
HRESULT TriggerCommand(HalvornZelta& root, const MemberDescriptor& member, std::string_view command,
                       VisaStatusCode* Val) {
  return root.RunFrame(member, {Out("Val", Val)}, [&] {
    FormatArgs nothing({});
    return DefaultQuery(root, command, "", nothing);
  });
}

}  // namespace

HRESULT TriggerFacet::Abort(VisaStatusCode* Val) { return TriggerCommand(Owner(), kAbort, "ABOR", Val); }
HRESULT TriggerFacet::Initiate(VisaStatusCode* Val) { return TriggerCommand(Owner(), kInitiate, "INIT:TRAN", Val); }
HRESULT TriggerFacet::SendSoftwareTrigger(VisaStatusCode* Val) {
  return TriggerCommand(Owner(), kSendSoftwareTrigger, "*TRG", Val);
}

}  // namespace hvzelta
