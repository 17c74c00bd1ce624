#pragma once

// TCPIP::host::port::SOCKET: a plain TCP connection. A socket carries no
// END, so a read ends at the termination character (when enabled) or when
// the count is reached; there is no status byte and no trigger.
//
// A byte stream has no message ids either: a reply that a read gave up on
// may still come, at any time, and would answer the next command. So the
// connection it would come on is given up too: after a read timed out, the
// next write or device clear opens a new connection first (the late reply
// dies with the old one). Input already here when a command goes out (a
// doubled reply, the rest of a block a read stopped in) is dropped.

#include <sys/socket.h>

#include <memory>
#include <mutex>

#include "visa/deadline.h"
#include "visa/message_reader.h"
#include "visa/resource_name.h"
#include "visa/socket_input.h"
#include "visa/transport.h"
#include "visa/unique_fd.h"

namespace hvzelta::visa {

ViStatus OpenRawSocketTransport(const ResourceName& resource, const Deadline& deadline,
                                std::unique_ptr<ITransport>& transport);

class RawSocketTransport final : public ITransport, private IByteSource {
 public:
  RawSocketTransport(ResourceName resource, UniqueFd socket);

  void DefineAttributes(AttributeStore& store) override;
  ViStatus ApplyAttribute(ViAttr id, const AttributeStore& store) override;
  ViStatus Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) override;
  ViStatus Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) override;
  ViStatus Clear(const IoSettings& io) override;
  void DiscardInput() override;
  void Abort() override;

 private:
  ViStatus Receive(ViByte* buffer, std::size_t capacity, const Deadline& deadline, std::size_t& received,
                   bool& ended) override;
  // Replaces the connection by a new one to the same port.
  ViStatus Reconnect(const Deadline& deadline);

  ResourceName resource_;
  UniqueFd socket_;
  SocketInput input_;
  MessageReader reader_;
  bool replyOwed_ = false;     // a read gave up on a reply that may still come
  bool replyCut_ = false;      // the last read stopped inside a message (count reached)
  bool lost_ = false;          // the peer closed or reset the connection
  // Abort comes from another thread (a close) and may meet a reconnect:
  // the swap of the connection and the abort take turns, and a connection
  // made after an abort is shut down at once.
  std::mutex abortMutex_;
  bool aborted_ = false;
};

}  // namespace hvzelta::visa
