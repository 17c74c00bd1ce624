#pragma once

// SCPI over HiSLIP in synchronized mode: both channels of every session on
// one TCP port, any number of sessions up to HislipServer::kMaxSessions.

#include <cstdint>

#include "hislip_server.h"
#include "tcp_acceptor.h"
#include "transport.h"

namespace zta_sim {

class HislipTransport final : public Transport {
 public:
  HislipTransport(const TransportContext& context, std::uint16_t port);
  ~HislipTransport() override { Stop(); }
  HislipTransport(const HislipTransport&) = delete;
  HislipTransport& operator=(const HislipTransport&) = delete;

  void Start() override;
  void Stop() override;
  void Describe(Endpoints& endpoints) const override;

 private:
  void Serve(int fd);

  TransportContext context_;
  std::uint16_t port_;
  HislipServer server_;
  TcpAcceptor acceptor_;
};

}  // namespace zta_sim
