#pragma once

// RPC over UDP: one datagram a call, one a reply. The port-mapper answers
// here too, since discovery asks port-mappers by broadcast, which only UDP
// carries.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "onc_rpc.h"

namespace zta_sim {

class UdpRpcServer {
 public:
  explicit UdpRpcServer(RpcDispatcher& dispatcher) : dispatcher_(dispatcher) {}
  ~UdpRpcServer() { Stop(); }
  UdpRpcServer(const UdpRpcServer&) = delete;
  UdpRpcServer& operator=(const UdpRpcServer&) = delete;

  // Binds address:port; false when the port is taken for UDP.
  bool Bind(const std::string& address, std::uint16_t port);
  void Start();
  void Stop();

 private:
  void Serve();

  RpcDispatcher& dispatcher_;
  int fd_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace zta_sim
