#pragma once

// TCPIP::host::hislipN[,port]::INSTR: a HiSLIP client (IVI-6.1) in
// synchronized mode, over a synchronous channel (data, triggers, device
// clear completion) and an asynchronous one (device clear, status query,
// lock, maximum message size). END comes from the DataEnd message. Replies
// carry the message ID of the request they answer; data for an older
// request (one whose read timed out) is dropped, so a late reply is never
// taken for the answer to the next query.

#include <sys/socket.h>

#include <memory>
#include <optional>

#include "visa/deadline.h"
#include "visa/hislip_protocol.h"
#include "visa/message_reader.h"
#include "visa/resource_name.h"
#include "visa/socket_input.h"
#include "visa/transport.h"
#include "visa/unique_fd.h"

namespace hvzelta::visa {

ViStatus OpenHislipTransport(const ResourceName& resource, const Deadline& deadline,
                             std::unique_ptr<ITransport>& transport);

// What the two sides agreed on while initializing.
struct HislipSession {
  ViUInt16 sessionId = 0;
  ViUInt16 serverVersion = hislip::kProtocolVersion;
  bool overlapped = false;
  ViUInt64 serverMaxMessage = 1 << 20;
};

class HislipTransport final : public ITransport, private IByteSource {
 public:
  // The maximum message size this client announces.
  static constexpr ViUInt64 kClientMaxMessage = 1 << 20;

  // Takes two connected, initialized channels.
  HislipTransport(ResourceName resource, UniqueFd sync, UniqueFd async, const HislipSession& session);

  void DefineAttributes(AttributeStore& store) override;
  ViStatus ApplyAttribute(ViAttr id, const AttributeStore& store) override;
  ViStatus Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) override;
  ViStatus Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) override;
  ViStatus ReadStatusByte(const IoSettings& io, ViUInt16& status) override;
  ViStatus Clear(const IoSettings& io) override;
  ViStatus Trigger(const IoSettings& io) override;
  void DiscardInput() override;
  void Abort() override {
    ::shutdown(sync_.Get(), SHUT_RDWR);
    ::shutdown(async_.Get(), SHUT_RDWR);
  }
  ViStatus LockDevice(std::string_view sharedKey, ViUInt32 timeoutMs) override;
  ViStatus UnlockDevice(ViAccessMode released, const IoSettings& io) override;

 private:
  // One direction of a channel: a header may arrive in pieces across
  // reads, and a payload that is skipped is skipped across reads too.
  struct Inbound {
    explicit Inbound(int fd) : input(fd) {}
    SocketInput input;
    ViByte header[hislip::kHeaderSize] = {};
    std::size_t headerHave = 0;
    ViUInt64 skipLeft = 0;
  };

  ViStatus Receive(ViByte* buffer, std::size_t capacity, const Deadline& deadline, std::size_t& received,
                   bool& ended) override;
  Inbound& InboundOf(int fd) { return fd == sync_.Get() ? syncIn_ : asyncIn_; }
  ViStatus NextHeader(int fd, Inbound& in, const Deadline& deadline, hislip::Header& header);
  ViStatus Skip(Inbound& in, const Deadline& deadline);
  // The next message of `type` on the asynchronous channel, its payload cut
  // to what fits in `payload`.
  ViStatus AwaitAsync(ViUInt8 type, const Deadline& deadline, hislip::Header& header, ViByte* payload,
                      std::size_t payloadSize);
  ViStatus SendMessage(int fd, const hislip::Header& header, const void* payload, const Deadline& deadline);
  // A server error that ends the session, or a peer breaking the framing.
  ViStatus Fail(ViStatus status);
  ViUInt32 TakeMessageId();

  ResourceName resource_;
  UniqueFd sync_;
  UniqueFd async_;
  HislipSession session_;
  Inbound syncIn_;
  Inbound asyncIn_;
  MessageReader reader_;

  ViUInt32 nextMessageId_ = hislip::kInitialMessageId;
  std::optional<ViUInt32> lastSentId_;
  std::optional<ViUInt32> awaitedId_;  // the ID replies must carry
  bool rmtDelivered_ = false;
  ViUInt64 payloadLeft_ = 0;  // of the Data or DataEnd being read
  bool payloadEnds_ = false;
  bool broken_ = false;
};

}  // namespace hvzelta::visa
