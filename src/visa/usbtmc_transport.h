#pragma once

// USB[n]::vid::pid::serial[::intf]::INSTR through the Linux usbtmc kernel
// driver (/dev/usbtmcN). The driver frames messages and times transfers
// out itself (its timeout is set to the session's); a read that returns
// fewer bytes than asked for ended with END. Clear, status byte and trigger
// are the driver's ioctls; a driver without them gives VI_ERROR_NSUP_OPER.

#include <memory>

#include "visa/deadline.h"
#include "visa/resource_name.h"
#include "visa/transport.h"
#include "visa/unique_fd.h"
#include "visa/usbtmc_device_finder.h"

namespace hvzelta::visa {

ViStatus OpenUsbTmcTransport(const ResourceName& resource, const Deadline& deadline,
                             std::unique_ptr<ITransport>& transport);

class UsbTmcTransport final : public ITransport {
 public:
  UsbTmcTransport(ResourceName resource, UsbTmcDevice device, UniqueFd node);

  void DefineAttributes(AttributeStore& store) override;
  ViStatus Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) override;
  ViStatus Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) override;
  ViStatus ReadStatusByte(const IoSettings& io, ViUInt16& status) override;
  ViStatus Clear(const IoSettings& io) override;
  ViStatus Trigger(const IoSettings& io) override;
  void DiscardInput() override {}

 private:
  ViStatus Prepare(const IoSettings& io);

  ResourceName resource_;
  UsbTmcDevice device_;
  UniqueFd node_;
};

}  // namespace hvzelta::visa
