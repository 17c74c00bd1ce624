#pragma once

// The RPC face of the VXI-11 device for one connection: decodes the core
// channel's calls (create_link, device_write, device_read, ...) and the abort
// channel's device_abort, and encodes their results. The links a connection
// created end with it.

#include <cstdint>

#include "onc_rpc.h"
#include "vxi11_device.h"

namespace zta_sim {

class Vxi11RpcProgram final : public RpcDispatcher {
 public:
  // abortPort: where create_link says the abort channel listens.
  Vxi11RpcProgram(Vxi11Device& device, std::uint16_t abortPort, std::uint64_t connection);
  ~Vxi11RpcProgram() override;
  Vxi11RpcProgram(const Vxi11RpcProgram&) = delete;
  Vxi11RpcProgram& operator=(const Vxi11RpcProgram&) = delete;

  RpcOutcome Dispatch(const RpcCall& call, XdrReader& in, XdrWriter& out) override;

 private:
  RpcOutcome DispatchAbort(const RpcCall& call, XdrReader& in, XdrWriter& out);
  static RpcOutcome Mismatch();
  // Device_Flags flags, then unsigned long lock_timeout.
  static Vxi11Device::Access ReadAccess(XdrReader& in);
  // Device_GenericParms: link, flags, lock_timeout, io_timeout.
  static Vxi11Device::Access ReadGeneric(XdrReader& in, std::int32_t& link);

  Vxi11Device& device_;
  std::uint16_t abortPort_;
  std::uint64_t id_;
};

}  // namespace zta_sim
