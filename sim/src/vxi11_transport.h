#pragma once

// SCPI over VXI-11: the core channel (and the abort channel on the same
// port) as ONC RPC over TCP, and a port-mapper of its own that tells
// clients where the core channel listens.

#include <atomic>
#include <cstdint>
#include <memory>

#include "portmapper_service.h"
#include "tcp_acceptor.h"
#include "transport.h"
#include "udp_rpc_server.h"
#include "vxi11_device.h"

namespace zta_sim {

class Vxi11Transport final : public Transport {
 public:
  Vxi11Transport(const TransportContext& context, std::uint16_t corePort, std::uint16_t portmapperPort);

  void Start() override;
  void Stop() override;
  void Describe(Endpoints& endpoints) const override;

 private:
  void ServeCore(int fd);
  void ServePortmapper(int fd);

  TransportContext context_;
  std::uint16_t corePort_;
  std::uint16_t portmapperPort_;
  Vxi11Device device_;
  std::atomic<std::uint64_t> nextConnection_{1};
  TcpAcceptor core_;
  TcpAcceptor portmapper_;
  // The port-mapper on UDP as well, at the same port, for discovery.
  std::unique_ptr<PortmapperService> udpPortmapperService_;
  std::unique_ptr<UdpRpcServer> udpPortmapper_;
};

}  // namespace zta_sim
