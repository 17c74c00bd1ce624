#include "visa/raw_socket_transport.h"

#include <chrono>
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
    : resource_(std::move(resource)), socket_(std::move(socket)), blocking_(SetBlocking(socket_.Get())) {}

void RawSocketTransport::DefineAttributes(AttributeStore& store) {
  DefineTcpipAttributes(store, resource_, socket_.Get(), resource_.port);
}

ViStatus RawSocketTransport::ApplyAttribute(ViAttr id, const AttributeStore& store) {
  return ApplyTcpipAttribute(id, store, socket_.Get());
}

ViStatus RawSocketTransport::Receive(ViByte* buffer, std::size_t capacity, const Deadline& deadline,
                                     std::size_t& received, bool& ended) {
  ended = false;
  if (std::exchange(replyPending_, false)) return ReceiveReply(buffer, capacity, deadline, received);
  return ReceiveSome(socket_.Get(), buffer, capacity, deadline, received);
}

// Right after a command the reply is not there yet. One receive that the
// kernel ends at the timeout waits for it in one system call; a timeout
// that cannot be given to the kernel (none, or a deadline that has started)
// waits with poll first instead, which spares a receive that could only
// come back empty.
ViStatus RawSocketTransport::ReceiveReply(ViByte* buffer, std::size_t capacity, const Deadline& deadline,
                                          std::size_t& received) {
  const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(deadline.Length());
  const bool kernelCanWait = blocking_ && !deadline.Infinite() && timeout.count() > 0 && !deadline.Started();
  if (kernelCanWait && timeout != receiveTimeout_) {
    receiveTimeout_ = SetReceiveTimeout(socket_.Get(), timeout) ? timeout : std::chrono::milliseconds{0};
  }
  if (!kernelCanWait || timeout != receiveTimeout_) {
    return ReceiveSome(socket_.Get(), buffer, capacity, deadline, received, true);
  }
  const ViStatus status = ReceiveBlocking(socket_.Get(), buffer, capacity, received);
  // A signal cut the wait short: the rest of it goes by the deadline.
  if (status == VI_SUCCESS && received == 0) return ReceiveSome(socket_.Get(), buffer, capacity, deadline, received);
  return status;
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
