#pragma once

// The asynchronous channel of a HiSLIP session: locks and lock information,
// remote/local control, the maximum message size, the first half of a
// device clear and the status query, each answered on this channel.

#include <utility>

#include "hislip_connection.h"
#include "hislip_message.h"
#include "hislip_server.h"

namespace zta_sim {

class HislipAsyncChannel {
 public:
  HislipAsyncChannel(HislipServer& server, HislipServer::SessionPtr session, HislipConnection& connection)
      : server_(server), session_(std::move(session)), connection_(connection) {}

  // One message of a type this channel serves; false ends the connection.
  bool Handle(const hislip::Message& message);

 private:
  bool Lock(const hislip::Message& message);
  bool MaximumMessageSize(const hislip::Message& message);

  HislipServer& server_;
  HislipServer::SessionPtr session_;
  HislipConnection& connection_;
};

}  // namespace zta_sim
