#include "visa/raw_socket_transport.h"

#include <utility>

#include "visa/socket_io.h"
#include "visa/tcpip_attributes.h"

namespace hvzelta::visa {
namespace {

// What one receive may take in: a long reply (thousands of readings) that
// the caller reads a few kilobytes at a time costs a system call per 64 KiB
// instead of one per read. Before each command, whatever is left of it is
// dropped with the rest of the input.
constexpr std::size_t kReadAhead = 64 * 1024;

}  // namespace

ViStatus OpenRawSocketTransport(const ResourceName& resource, const Deadline& deadline,
                                std::unique_ptr<ITransport>& transport) {
  UniqueFd socket;
  if (ViStatus status = ConnectTcp(resource.host, resource.port, deadline, socket); status != VI_SUCCESS)
    return status;
  transport = std::make_unique<RawSocketTransport>(resource, std::move(socket));
  return VI_SUCCESS;
}

RawSocketTransport::RawSocketTransport(ResourceName resource, UniqueFd socket)
    : resource_(std::move(resource)), socket_(std::move(socket)), input_(socket_.Get(), kReadAhead) {}

void RawSocketTransport::DefineAttributes(AttributeStore& store) {
  DefineTcpipAttributes(store, resource_, socket_.Get(), resource_.port);
}

ViStatus RawSocketTransport::ApplyAttribute(ViAttr id, const AttributeStore& store) {
  return ApplyTcpipAttribute(id, store, socket_.Get());
}

ViStatus RawSocketTransport::Receive(ViByte* buffer, std::size_t capacity, const Deadline& deadline,
                                     std::size_t& received, bool& ended) {
  ended = false;
  const ViStatus status = input_.ReceiveSome(buffer, capacity, deadline, received);
  if (status == VI_ERROR_CONN_LOST) lost_ = true;
  return status;
}

ViStatus RawSocketTransport::Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) {
  received = 0;
  if (lost_) return VI_ERROR_CONN_LOST;
  StopRule rule;
  if (io.termCharEnabled) rule.termChar = io.termChar;
  const ViStatus status = reader_.Read(*this, buffer, count, rule, Deadline::After(io.timeoutMs), received);
  replyCut_ = status == VI_SUCCESS_MAX_CNT;
  if (status == VI_ERROR_TMO) replyOwed_ = true;
  return status;
}

ViStatus RawSocketTransport::Reconnect(const Deadline& deadline) {
  reader_.Discard();
  replyOwed_ = replyCut_ = false;
  UniqueFd fresh;
  if (ConnectTcp(resource_.host, resource_.port, deadline, fresh) != VI_SUCCESS) {
    lost_ = true;
    return VI_ERROR_CONN_LOST;
  }
  CopySocketFlags(socket_.Get(), fresh.Get());
  {
    const std::lock_guard lock(abortMutex_);
    if (aborted_) ::shutdown(fresh.Get(), SHUT_RDWR);
    socket_ = std::move(fresh);
  }
  input_ = SocketInput(socket_.Get(), kReadAhead);
  lost_ = false;
  return VI_SUCCESS;
}

void RawSocketTransport::Abort() {
  const std::lock_guard lock(abortMutex_);
  aborted_ = true;
  ::shutdown(socket_.Get(), SHUT_RDWR);
}

ViStatus RawSocketTransport::Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) {
  written = 0;
  if (lost_) return VI_ERROR_CONN_LOST;
  const Deadline deadline = Deadline::After(io.timeoutMs);
  // Nothing the device said before may answer this command: a connection
  // that may still carry a reply given up on is replaced, and input already
  // here (a doubled reply, the rest of a block a read stopped in) is dropped.
  if (replyOwed_) {
    if (ViStatus status = Reconnect(deadline); status != VI_SUCCESS) return status;
  } else {
    DiscardInput();
  }
  std::size_t sent = 0;
  ViStatus status = SendAll(socket_.Get(), buffer, count, deadline, &sent);
  if (status == VI_SUCCESS) input_.ExpectReply();
  if (status == VI_ERROR_CONN_LOST) lost_ = true;
  written = static_cast<ViUInt32>(sent);
  return status;
}

// A socket has no device clear. What it can do is make sure that nothing
// the device said before reaches a later read: a reply given up on, or cut
// where its reader stopped, goes with the old connection; input already
// here is dropped.
ViStatus RawSocketTransport::Clear(const IoSettings& io) {
  if (replyOwed_ || replyCut_) return Reconnect(Deadline::After(io.timeoutMs));
  DiscardInput();
  return VI_SUCCESS;
}

void RawSocketTransport::DiscardInput() {
  reader_.Discard();
  input_.Discard();
}

}  // namespace hvzelta::visa
