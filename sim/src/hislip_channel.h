#pragma once

// One TCP connection of the HiSLIP server. Its first message makes it the
// synchronous channel of a new session (Initialize) or the asynchronous
// channel of an existing one (AsyncInitialize); from then on each message
// is checked against the table of what that channel takes and handed to
// the channel's handler. Input it cannot take gets an Error message; input
// that breaks the conversation gets a FatalError and ends the session.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "fault_plan.h"
#include "hislip_async_channel.h"
#include "hislip_connection.h"
#include "hislip_message.h"
#include "hislip_server.h"
#include "hislip_sync_channel.h"
#include "instrument.h"

namespace zta_sim {

class HislipChannel final : public hislip::FrameHandler {
 public:
  HislipChannel(HislipServer& server, HislipConnection& connection, Instrument& instrument, FaultPlan& faults);
  ~HislipChannel() override;
  HislipChannel(const HislipChannel&) = delete;
  HislipChannel& operator=(const HislipChannel&) = delete;

  // Bytes as they arrive; false once the connection is to end.
  bool Feed(std::string_view bytes) { return framer_.Feed(bytes, *this); }
  // Input waits for this channel (true) or was handled (false). A status
  // query on the asynchronous channel waits while the synchronous channel
  // has input, so that it reflects every message sent before it; marking
  // the channel busy before its input is read leaves no moment where the
  // input is neither unread nor being handled.
  void SetBusy(bool busy);

  std::size_t PayloadLimit(std::uint8_t type) const override;
  bool OnMessage(const hislip::Message& message) override;
  void OnBadHeader() override;

 private:
  bool Initialize(const hislip::Message& message);
  bool AsyncInitialize(const hislip::Message& message);
  bool Fail(hislip::FatalCode code, std::string_view text);

  HislipServer& server_;
  HislipConnection& connection_;
  Instrument& instrument_;
  FaultPlan& faults_;
  hislip::Framer framer_;
  HislipServer::SessionPtr session_;
  std::unique_ptr<HislipSyncChannel> sync_;  // one of the two, once initialized
  std::unique_ptr<HislipAsyncChannel> async_;
};

}  // namespace zta_sim
