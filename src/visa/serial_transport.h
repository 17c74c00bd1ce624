#pragma once

// ASRLn::INSTR and ASRL/dev/tty...::INSTR: a serial line through termios
// (pseudo-terminals included). Baud rate, data bits, parity, stop bits and
// flow control are attributes and take effect when set. A read ends with
// END according to VI_ATTR_ASRL_END_IN (by default at the termination
// character), with the termination character when VI_ATTR_TERMCHAR_EN is
// on, or at the count; VI_ATTR_ASRL_END_OUT says how a write sends END.

#include <memory>

#include "visa/deadline.h"
#include "visa/message_reader.h"
#include "visa/resource_name.h"
#include "visa/transport.h"
#include "visa/unique_fd.h"

namespace hvzelta::visa {

ViStatus OpenSerialTransport(const ResourceName& resource, const Deadline& deadline,
                             std::unique_ptr<ITransport>& transport);

class SerialTransport final : public ITransport, private IByteSource {
 public:
  SerialTransport(ResourceName resource, UniqueFd port);

  void DefineAttributes(AttributeStore& store) override;
  ViStatus ApplyAttribute(ViAttr id, const AttributeStore& store) override;
  void RefreshAttribute(ViAttr id, AttributeStore& store) override;
  ViStatus Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) override;
  ViStatus Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) override;
  ViStatus Clear(const IoSettings& io) override;
  void DiscardInput() override;
  void Abort() override;

 private:
  StopRule ReadRule(const IoSettings& io) const;
  ViStatus Receive(ViByte* buffer, std::size_t capacity, const Deadline& deadline, std::size_t& received,
                   bool& ended) override;
  ViStatus WriteAll(const ViByte* buffer, std::size_t size, const Deadline& deadline, std::size_t& written);

  ResourceName resource_;
  UniqueFd port_;
  UniqueFd abort_;  // an event counter the waits watch besides the port
  MessageReader reader_;
  bool replyOwed_ = false;  // a read gave up on a reply, or the device was cleared
  ViUInt16 dataBits_ = 8;
  ViUInt16 endIn_ = VI_ASRL_END_TERMCHAR;
  ViUInt16 endOut_ = VI_ASRL_END_NONE;
};

}  // namespace hvzelta::visa
