#pragma once

// SCPI over a raw TCP socket: newline-terminated messages in, replies out,
// any number of clients at once.

#include <cstdint>

#include "tcp_acceptor.h"
#include "transport.h"

namespace zta_sim {

class SocketTransport final : public Transport {
 public:
  SocketTransport(const TransportContext& context, std::uint16_t port);

  void Start() override;
  void Stop() override;
  void Describe(Endpoints& endpoints) const override;

 private:
  void Serve(int fd);

  TransportContext context_;
  std::uint16_t port_;
  TcpAcceptor acceptor_;
};

}  // namespace zta_sim
