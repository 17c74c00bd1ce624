#include "visa/raw_socket_transport.h"

#include <utility>

#include "visa/socket_io.h"
#include "visa/tcpip_attributes.h"

namespace hvzelta::visa {

ViStatus OpenRawSocketTransport(const ResourceName& resource, const Deadline& deadline,
                                std::unique_ptr<ITransport>& transport) {
  UniqueFd socket;
  if (ViStatus status = ConnectTcp(resource.host, resource.port, deadline, socket); status != VI_SUCCESS)
    return status;
  transport = std::make_unique<RawSocketTransport>(resource, std::move(socket));
  return VI_SUCCESS;
}

RawSocketTransport::RawSocketTransport(ResourceName resource, UniqueFd socket)
    : resource_(std::move(resource)), socket_(std::move(socket)) {}

void RawSocketTransport::DefineAttributes(AttributeStore& store) {
  DefineTcpipAttributes(store, resource_, socket_.Get(), resource_.port);
}

ViStatus RawSocketTransport::ApplyAttribute(ViAttr id, const AttributeStore& store) {
  return ApplyTcpipAttribute(id, store, socket_.Get());
}

ViStatus RawSocketTransport::Receive(ViByte* buffer, std::size_t capacity, const Deadline& deadline,
                                     std::size_t& received, bool& ended) {
  ended = false;
  // Right after a command the reply is not there yet: waiting first spares
  // a receive that could only come back empty.
  return ReceiveSome(socket_.Get(), buffer, capacity, deadline, received, std::exchange(replyPending_, false));
}

ViStatus RawSocketTransport::Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) {
  StopRule rule;
  if (io.termCharEnabled) rule.termChar = io.termChar;
  return reader_.Read(*this, buffer, count, rule, Deadline::After(io.timeoutMs), received);
}

ViStatus RawSocketTransport::Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) {
  std::size_t sent = 0;
  ViStatus status = SendAll(socket_.Get(), buffer, count, Deadline::After(io.timeoutMs), &sent);
  replyPending_ = status == VI_SUCCESS;
  written = static_cast<ViUInt32>(sent);
  return status;
}

// A socket has no device clear: the best that can be done is to forget the
// answer of an earlier command that is still on its way or already here.
ViStatus RawSocketTransport::Clear(const IoSettings& io) {
  DiscardInput();
  StopRule rule;
  if (io.termCharEnabled) rule.termChar = io.termChar;
  reader_.DropLateReply(*this, rule);
  return VI_SUCCESS;
}

void RawSocketTransport::DiscardInput() {
  reader_.Discard();
  DiscardArrivedInput(socket_.Get());
}

}  // namespace hvzelta::visa
