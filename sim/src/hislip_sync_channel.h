#pragma once

// The synchronous channel of a HiSLIP session: program messages in Data and
// DataEnd messages (DataEnd carries END), the Trigger message, and the
// second half of a device clear. Replies go out as DataEnd messages with the
// ID of the message being answered, cut to the client's maximum message
// size, shaped and held back by the fault plan.

#include <cstdint>
#include <string_view>

#include "fault_plan.h"
#include "hislip_connection.h"
#include "hislip_message.h"
#include "hislip_server.h"
#include "instrument.h"
#include "scpi_session.h"

namespace zta_sim {

class HislipSyncChannel {
 public:
  HislipSyncChannel(HislipServer& server, HislipServer::SessionPtr session, HislipConnection& connection,
                    Instrument& instrument, FaultPlan& faults);

  // One message of a type this channel serves; false ends the connection.
  bool Handle(const hislip::Message& message);

 private:
  class ReplySender final : public ReplySink {
   public:
    ReplySender(HislipServer& server, HislipServer::Session& session, HislipConnection& connection)
        : server_(server), session_(session), connection_(connection) {}
    void Deliver(const Reply& reply) override;
    void Answering(std::uint32_t messageId) { messageId_ = messageId; }
    bool ended() const { return ended_; }

   private:
    bool SendReply(std::string_view bytes);

    HislipServer& server_;
    HislipServer::Session& session_;
    HislipConnection& connection_;
    std::uint32_t messageId_ = 0;
    bool ended_ = false;  // a Drop fault struck or the connection failed
  };

  template <typename Action>
  bool Execute(const hislip::Message& message, Action&& action);

  HislipServer& server_;
  HislipServer::SessionPtr session_;
  HislipConnection& connection_;
  Instrument& instrument_;
  ScpiSession scpi_;
  ReplySender sender_;
};

}  // namespace zta_sim
