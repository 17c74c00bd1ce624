#pragma once

// TCPIP::host[::instN]::INSTR: a VXI-11 core channel client over ONC RPC.
// The core port comes from the port-mapper (port 111, or the port in the
// environment variable HVZELTA_PORTMAPPER_PORT) unless the resource names
// it directly (TCPIP::host,port::INSTR). The device enforces the session
// timeout itself (io_timeout, lock_timeout); this side waits a short margin
// longer. Writes are cut to the link's maximum receive size, END goes with
// the last piece; reads say END, termination character or count from the
// device's reason bits. Locks are the device's exclusive lock; shared locks
// stay between the sessions of this process.

#include <sys/socket.h>

#include <memory>

#include "visa/deadline.h"
#include "visa/onc_rpc.h"
#include "visa/resource_name.h"
#include "visa/transport.h"

namespace hvzelta::visa {

ViStatus OpenVxi11Transport(const ResourceName& resource, const Deadline& deadline,
                            std::unique_ptr<ITransport>& transport);

struct Vxi11Link {
  ViUInt32 id = 0;
  ViUInt32 maxReceiveSize = 1024;
  std::uint16_t port = 0;
};

class Vxi11Transport final : public ITransport {
 public:
  // Takes a core channel on which create_link has succeeded.
  Vxi11Transport(ResourceName resource, rpc::Client core, const Vxi11Link& link);

  void DefineAttributes(AttributeStore& store) override;
  ViStatus ApplyAttribute(ViAttr id, const AttributeStore& store) override;
  ViStatus Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) override;
  ViStatus Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) override;
  ViStatus ReadStatusByte(const IoSettings& io, ViUInt16& status) override;
  ViStatus Clear(const IoSettings& io) override;
  ViStatus Trigger(const IoSettings& io) override;
  void DiscardInput() override {}
  void Abort() override { ::shutdown(core_.Socket(), SHUT_RDWR); }
  ViStatus LockDevice(std::string_view sharedKey, ViUInt32 timeoutMs) override;
  ViStatus UnlockDevice(ViAccessMode released, const IoSettings& io) override;
  ViStatus Close(const IoSettings& io) override;

 private:
  // A call whose only result is the device error code.
  ViStatus SimpleCall(ViUInt32 procedure, const rpc::Arguments& arguments, const Deadline& deadline);

  ResourceName resource_;
  rpc::Client core_;
  Vxi11Link link_;
};

}  // namespace hvzelta::visa
