#include "visa/hislip_transport.h"

#include <algorithm>
#include <cstring>

#include "visa/socket_io.h"
#include "visa/tcpip_attributes.h"

namespace hvzelta::visa {

using hislip::Header;

namespace {

constexpr AttributeRow kIsHislip{VI_ATTR_TCPIP_IS_HISLIP, AttrType::Boolean, false};
constexpr AttributeRow kHislipVersion{VI_ATTR_TCPIP_HISLIP_VERSION, AttrType::U32, false};
constexpr AttributeRow kHislipOverlap{VI_ATTR_TCPIP_HISLIP_OVERLAP_EN, AttrType::Boolean, false};
constexpr AttributeRow kHislipMaxMessageKb{VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB, AttrType::U32, false};

// Our vendor ID in Initialize: two ASCII letters.
constexpr ViUInt16 kVendorId = ('H' << 8) | 'Z';

// Lock response codes.
constexpr ViUInt8 kLockFailed = 0;
constexpr ViUInt8 kLockGranted = 1;
constexpr ViUInt8 kLockReleasedShared = 2;

ViStatus SendRaw(int fd, const Header& header, const void* payload, const Deadline& deadline) {
  ViByte encoded[hislip::kHeaderSize];
  hislip::EncodeHeader(header, encoded);
  iovec pieces[2] = {{encoded, sizeof encoded}, {const_cast<void*>(payload), payload ? header.length : 0}};
  return SendAll(fd, pieces, 2, deadline);
}

// One request and its reply during initialization, before a transport exists.
ViStatus Handshake(int fd, const Header& request, const void* payload, ViUInt8 replyType, const Deadline& deadline,
                   Header& reply, ViByte* replyPayload = nullptr, std::size_t replySize = 0) {
  if (SendRaw(fd, request, payload, deadline) != VI_SUCCESS) return VI_ERROR_RSRC_NFOUND;
  ViByte encoded[hislip::kHeaderSize];
  if (ReceiveExact(fd, encoded, sizeof encoded, deadline) != VI_SUCCESS || !hislip::DecodeHeader(encoded, reply) ||
      reply.type != replyType || reply.length != replySize)
    return VI_ERROR_RSRC_NFOUND;
  if (replySize > 0 && ReceiveExact(fd, replyPayload, replySize, deadline) != VI_SUCCESS) return VI_ERROR_RSRC_NFOUND;
  return VI_SUCCESS;
}

}  // namespace

ViStatus OpenHislipTransport(const ResourceName& resource, const Deadline& deadline,
                             std::unique_ptr<ITransport>& transport) {
  UniqueFd sync;
  if (ViStatus status = ConnectTcp(resource.host, resource.port, deadline, sync); status != VI_SUCCESS) return status;
  Header reply;
  Header initialize{hislip::kInitialize, 0, (ViUInt32{hislip::kProtocolVersion} << 16) | kVendorId,
                    resource.deviceName.size()};
  if (ViStatus status = Handshake(sync.Get(), initialize, resource.deviceName.data(), hislip::kInitializeResponse,
                                  deadline, reply);
      status != VI_SUCCESS)
    return status;
  HislipSession session;
  session.overlapped = (reply.control & 1) != 0;
  session.serverVersion = static_cast<ViUInt16>(reply.parameter >> 16);
  session.sessionId = static_cast<ViUInt16>(reply.parameter & 0xFFFF);

  UniqueFd async;
  if (ViStatus status = ConnectTcp(resource.host, resource.port, deadline, async); status != VI_SUCCESS)
    return status;
  Header asyncInitialize{hislip::kAsyncInitialize, 0, session.sessionId, 0};
  if (ViStatus status =
          Handshake(async.Get(), asyncInitialize, nullptr, hislip::kAsyncInitializeResponse, deadline, reply);
      status != VI_SUCCESS)
    return status;

  ViByte size[8];
  for (int i = 0; i < 8; ++i) size[i] = static_cast<ViByte>(HislipTransport::kClientMaxMessage >> (56 - 8 * i));
  Header maximum{hislip::kAsyncMaximumMessageSize, 0, 0, sizeof size};
  if (ViStatus status = Handshake(async.Get(), maximum, size, hislip::kAsyncMaximumMessageSizeResponse, deadline,
                                  reply, size, sizeof size);
      status != VI_SUCCESS)
    return status;
  session.serverMaxMessage = 0;
  for (ViByte byte : size) session.serverMaxMessage = (session.serverMaxMessage << 8) | byte;

  transport = std::make_unique<HislipTransport>(resource, std::move(sync), std::move(async), session);
  return VI_SUCCESS;
}

HislipTransport::HislipTransport(ResourceName resource, UniqueFd sync, UniqueFd async, const HislipSession& session)
    : resource_(std::move(resource)),
      sync_(std::move(sync)),
      async_(std::move(async)),
      session_(session),
      syncIn_(sync_.Get()),
      asyncIn_(async_.Get()) {}

void HislipTransport::DefineAttributes(AttributeStore& store) {
  DefineTcpipAttributes(store, resource_, sync_.Get(), resource_.port);
  store.Define(kIsHislip, VI_TRUE);
  const ViUInt32 major = session_.serverVersion >> 8;
  const ViUInt32 minor = session_.serverVersion & 0xFF;
  store.Define(kHislipVersion, (major << 20) | (minor << 8));
  store.Define(kHislipOverlap, session_.overlapped ? VI_TRUE : VI_FALSE);
  store.Define(kHislipMaxMessageKb, kClientMaxMessage / 1024);
}

ViStatus HislipTransport::ApplyAttribute(ViAttr id, const AttributeStore& store) {
  if (ViStatus status = ApplyTcpipAttribute(id, store, sync_.Get()); status != VI_SUCCESS) return status;
  return ApplyTcpipAttribute(id, store, async_.Get());
}

ViStatus HislipTransport::Fail(ViStatus status) {
  broken_ = true;
  return status;
}

ViUInt32 HislipTransport::TakeMessageId() {
  lastSentId_ = nextMessageId_;
  nextMessageId_ += 2;
  return *lastSentId_;
}

ViStatus HislipTransport::SendMessage(int fd, const Header& header, const void* payload, const Deadline& deadline) {
  if (broken_) return VI_ERROR_CONN_LOST;
  ViStatus status = SendRaw(fd, header, payload, deadline);
  if (status == VI_SUCCESS) InboundOf(fd).input.ExpectReply();
  return status == VI_ERROR_CONN_LOST ? Fail(status) : status;
}

ViStatus HislipTransport::NextHeader(int fd, Inbound& in, const Deadline& deadline, Header& header) {
  while (in.headerHave < hislip::kHeaderSize) {
    std::size_t got = 0;
    ViStatus status = in.input.ReceiveSome(in.header + in.headerHave, hislip::kHeaderSize - in.headerHave, deadline, got);
    if (status != VI_SUCCESS) return status == VI_ERROR_TMO ? status : Fail(status);
    in.headerHave += got;
  }
  in.headerHave = 0;
  if (!hislip::DecodeHeader(in.header, header)) {
    // The stream can no longer be framed: tell the server and give up.
    Header fatal{hislip::kFatalError, hislip::kFatalPoorlyFormedHeader, 0, 0};
    SendRaw(fd, fatal, nullptr, Deadline::After(ViUInt32{100}));
    return Fail(VI_ERROR_IO);
  }
  return VI_SUCCESS;
}

ViStatus HislipTransport::Skip(Inbound& in, const Deadline& deadline) {
  ViByte scratch[4096];
  while (in.skipLeft > 0) {
    std::size_t got = 0;
    ViStatus status = in.input.ReceiveSome(scratch, std::min<ViUInt64>(in.skipLeft, sizeof scratch), deadline, got);
    if (status != VI_SUCCESS) return status == VI_ERROR_TMO ? status : Fail(status);
    in.skipLeft -= got;
  }
  return VI_SUCCESS;
}

ViStatus HislipTransport::Receive(ViByte* buffer, std::size_t capacity, const Deadline& deadline,
                                  std::size_t& received, bool& ended) {
  received = 0;
  ended = false;
  for (int round = 0;; ++round) {
    if (broken_) return VI_ERROR_CONN_LOST;
    // A peer streaming messages that carry nothing for us must not hold
    // the read past its deadline.
    if (round > 0 && deadline.Expired()) return VI_ERROR_TMO;
    if (syncIn_.skipLeft > 0) {
      if (ViStatus status = Skip(syncIn_, deadline); status != VI_SUCCESS) return status;
      continue;
    }
    if (payloadLeft_ > 0) {
      ViStatus status =
          syncIn_.input.ReceiveSome(buffer, std::min<ViUInt64>(capacity, payloadLeft_), deadline, received);
      if (status != VI_SUCCESS) return status == VI_ERROR_TMO ? status : Fail(status);
      payloadLeft_ -= received;
      ended = payloadLeft_ == 0 && payloadEnds_;
      rmtDelivered_ = rmtDelivered_ || ended;
      return VI_SUCCESS;
    }
    Header header;
    if (ViStatus status = NextHeader(sync_.Get(), syncIn_, deadline, header); status != VI_SUCCESS) return status;
    switch (header.type) {
      case hislip::kData:
      case hislip::kDataEnd:
        if (header.length > kClientMaxMessage) {
          // More than this client said it takes: the stream cannot be
          // trusted to frame anything after it, so the session ends here
          // rather than time out on every later call.
          Header fatal{hislip::kFatalError, hislip::kFatalUnidentified, 0, 0};
          SendRaw(sync_.Get(), fatal, nullptr, Deadline::After(ViUInt32{100}));
          return Fail(VI_ERROR_CONN_LOST);
        }
        if (awaitedId_ && header.parameter != *awaitedId_) {
          syncIn_.skipLeft = header.length;  // the reply to a request given up on
          continue;
        }
        payloadLeft_ = header.length;
        payloadEnds_ = header.type == hislip::kDataEnd;
        if (payloadLeft_ == 0 && payloadEnds_) {
          ended = true;
          rmtDelivered_ = true;
          return VI_SUCCESS;
        }
        continue;
      case hislip::kFatalError:
        return Fail(VI_ERROR_CONN_LOST);
      case hislip::kError:
        syncIn_.skipLeft = header.length;
        return VI_ERROR_IO;
      default:
        // Interrupted notices and anything this client does not use.
        syncIn_.skipLeft = header.length;
        continue;
    }
  }
}

ViStatus HislipTransport::Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) {
  StopRule rule;
  if (io.termCharEnabled) rule.termChar = io.termChar;
  return reader_.Read(*this, buffer, count, rule, Deadline::After(io.timeoutMs), received);
}

ViStatus HislipTransport::Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) {
  written = 0;
  const Deadline deadline = Deadline::After(io.timeoutMs);
  const ViUInt64 maxPayload = session_.serverMaxMessage > 2 * hislip::kHeaderSize
                                  ? session_.serverMaxMessage - hislip::kHeaderSize
                                  : hislip::kHeaderSize;
  ViUInt32 offset = 0;
  do {
    const ViUInt32 chunk = static_cast<ViUInt32>(std::min<ViUInt64>(count - offset, maxPayload));
    const bool last = offset + chunk == count;
    if (last && !io.sendEnd && chunk == 0) break;
    Header header{last && io.sendEnd ? hislip::kDataEnd : hislip::kData, rmtDelivered_ ? ViUInt8{1} : ViUInt8{0},
                  nextMessageId_, chunk};
    if (ViStatus status = SendMessage(sync_.Get(), header, buffer + offset, deadline); status != VI_SUCCESS)
      return status;
    rmtDelivered_ = false;
    TakeMessageId();
    if (header.type == hislip::kDataEnd) awaitedId_ = header.parameter;
    offset += chunk;
    written = offset;
  } while (offset < count);
  return VI_SUCCESS;
}

ViStatus HislipTransport::AwaitAsync(ViUInt8 type, const Deadline& deadline, Header& header, ViByte* payload,
                                     std::size_t payloadSize) {
  for (int round = 0;; ++round) {
    if (broken_) return VI_ERROR_CONN_LOST;
    if (round > 0 && deadline.Expired()) return VI_ERROR_TMO;
    if (asyncIn_.skipLeft > 0) {
      if (ViStatus status = Skip(asyncIn_, deadline); status != VI_SUCCESS) return status;
      continue;
    }
    if (ViStatus status = NextHeader(async_.Get(), asyncIn_, deadline, header); status != VI_SUCCESS) return status;
    if (header.type == type) {
      const std::size_t take = static_cast<std::size_t>(std::min<ViUInt64>(header.length, payloadSize));
      if (take > 0) {
        if (ViStatus status = asyncIn_.input.ReceiveExact(payload, take, deadline); status != VI_SUCCESS)
          return Fail(status == VI_ERROR_TMO ? VI_ERROR_IO : status);
      }
      asyncIn_.skipLeft = header.length - take;
      return VI_SUCCESS;
    }
    asyncIn_.skipLeft = header.length;
    if (header.type == hislip::kFatalError) return Fail(VI_ERROR_CONN_LOST);
    if (header.type == hislip::kError) return VI_ERROR_IO;
    // Service requests and interrupted notices are not waited for here.
  }
}

ViStatus HislipTransport::ReadStatusByte(const IoSettings& io, ViUInt16& status) {
  const Deadline deadline = Deadline::After(io.timeoutMs);
  Header query{hislip::kAsyncStatusQuery, rmtDelivered_ ? ViUInt8{1} : ViUInt8{0},
               lastSentId_ ? *lastSentId_ : hislip::kInitialMessageId - 2, 0};
  if (ViStatus sent = SendMessage(async_.Get(), query, nullptr, deadline); sent != VI_SUCCESS) return sent;
  rmtDelivered_ = false;
  Header reply;
  if (ViStatus got = AwaitAsync(hislip::kAsyncStatusResponse, deadline, reply, nullptr, 0); got != VI_SUCCESS)
    return got;
  status = reply.control;
  return VI_SUCCESS;
}

ViStatus HislipTransport::Clear(const IoSettings& io) {
  const Deadline deadline = Deadline::After(io.timeoutMs);
  DiscardInput();
  Header request{hislip::kAsyncDeviceClear, 0, 0, 0};
  if (ViStatus status = SendMessage(async_.Get(), request, nullptr, deadline); status != VI_SUCCESS) return status;
  Header acknowledge;
  if (ViStatus status = AwaitAsync(hislip::kAsyncDeviceClearAcknowledge, deadline, acknowledge, nullptr, 0);
      status != VI_SUCCESS)
    return status;
  // Ask for synchronized mode whatever the server prefers.
  Header complete{hislip::kDeviceClearComplete, 0, 0, 0};
  if (ViStatus status = SendMessage(sync_.Get(), complete, nullptr, deadline); status != VI_SUCCESS) return status;
  // Everything the server sent before its acknowledgement is stale.
  syncIn_.skipLeft += payloadLeft_;
  payloadLeft_ = 0;
  for (int round = 0;; ++round) {
    if (round > 0 && deadline.Expired()) return VI_ERROR_TMO;
    if (ViStatus status = Skip(syncIn_, deadline); status != VI_SUCCESS) return status;
    Header header;
    if (ViStatus status = NextHeader(sync_.Get(), syncIn_, deadline, header); status != VI_SUCCESS) return status;
    syncIn_.skipLeft = header.length;
    if (header.type == hislip::kFatalError) return Fail(VI_ERROR_CONN_LOST);
    if (header.type == hislip::kDeviceClearAcknowledge) {
      session_.overlapped = (header.control & 1) != 0;
      break;
    }
  }
  nextMessageId_ = hislip::kInitialMessageId;
  lastSentId_.reset();
  awaitedId_.reset();
  rmtDelivered_ = false;
  return VI_SUCCESS;
}

ViStatus HislipTransport::Trigger(const IoSettings& io) {
  Header trigger{hislip::kTrigger, rmtDelivered_ ? ViUInt8{1} : ViUInt8{0}, nextMessageId_, 0};
  if (ViStatus status = SendMessage(sync_.Get(), trigger, nullptr, Deadline::After(io.timeoutMs));
      status != VI_SUCCESS)
    return status;
  rmtDelivered_ = false;
  TakeMessageId();
  return VI_SUCCESS;
}

void HislipTransport::DiscardInput() {
  reader_.Discard();
  // The rest of the message being read goes unread.
  syncIn_.skipLeft += payloadLeft_;
  payloadLeft_ = 0;
}

ViStatus HislipTransport::LockDevice(std::string_view sharedKey, ViUInt32 timeoutMs) {
  const Deadline deadline = Deadline::After(timeoutMs).Extended(kDeviceTimeoutMargin);
  Header request{hislip::kAsyncLock, 1, timeoutMs, sharedKey.size()};
  if (ViStatus status = SendMessage(async_.Get(), request, sharedKey.data(), deadline); status != VI_SUCCESS)
    return status;
  Header reply;
  if (ViStatus status = AwaitAsync(hislip::kAsyncLockResponse, deadline, reply, nullptr, 0); status != VI_SUCCESS)
    return status;
  if (reply.control == kLockGranted) return VI_SUCCESS;
  return reply.control == kLockFailed ? VI_ERROR_TMO : VI_ERROR_RSRC_LOCKED;
}

ViStatus HislipTransport::UnlockDevice(ViAccessMode /*released*/, const IoSettings& io) {
  const Deadline deadline = Deadline::After(io.timeoutMs);
  Header request{hislip::kAsyncLock, 0, lastSentId_ ? *lastSentId_ : 0, 0};
  if (ViStatus status = SendMessage(async_.Get(), request, nullptr, deadline); status != VI_SUCCESS) return status;
  Header reply;
  if (ViStatus status = AwaitAsync(hislip::kAsyncLockResponse, deadline, reply, nullptr, 0); status != VI_SUCCESS)
    return status;
  return reply.control == kLockGranted || reply.control == kLockReleasedShared ? VI_SUCCESS : VI_ERROR_SESN_NLOCKED;
}

}  // namespace hvzelta::visa
