#include "onc_rpc.h"

#include <sys/socket.h>

#include <cerrno>

#include "tcp_acceptor.h"

namespace zta_sim {

namespace {

constexpr std::uint32_t kCall = 0;
constexpr std::uint32_t kReply = 1;
constexpr std::uint32_t kMessageAccepted = 0;
constexpr std::uint32_t kMessageDenied = 1;
constexpr std::uint32_t kRpcMismatch = 0;
constexpr std::uint32_t kRpcVersion = 2;
constexpr std::uint32_t kAuthNone = 0;
constexpr std::size_t kMaxAuthBody = 400;
constexpr std::uint32_t kLastFragment = 0x80000000u;

bool ReceiveExactly(int fd, char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t received = recv(fd, data, size, 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) return false;
    data += received;
    size -= static_cast<std::size_t>(received);
  }
  return true;
}

// Reads one record, fragment by fragment; nothing when the connection ends
// or the record would exceed maxRecord.
std::optional<std::string> ReceiveRecord(int fd, std::size_t maxRecord) {
  std::string record;
  bool last = false;
  while (!last) {
    unsigned char header[4];
    if (!ReceiveExactly(fd, reinterpret_cast<char*>(header), sizeof header)) return std::nullopt;
    const std::uint32_t mark = (std::uint32_t{header[0]} << 24) | (std::uint32_t{header[1]} << 16) |
                               (std::uint32_t{header[2]} << 8) | std::uint32_t{header[3]};
    last = (mark & kLastFragment) != 0;
    const std::size_t length = mark & ~kLastFragment;
    if (length > maxRecord - record.size()) return std::nullopt;
    const std::size_t start = record.size();
    record.resize(start + length);
    if (!ReceiveExactly(fd, record.data() + start, length)) return std::nullopt;
  }
  return record;
}

}  // namespace

std::uint32_t XdrReader::U32() {
  if (data_.size() - pos_ < 4 || !ok_) {
    ok_ = false;
    return 0;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
  pos_ += 4;
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         std::uint32_t{bytes[3]};
}

std::string_view XdrReader::Opaque(std::size_t maxLength) {
  const std::size_t length = U32();
  const std::size_t padded = (length + 3) & ~std::size_t{3};
  if (!ok_ || length > maxLength || data_.size() - pos_ < padded) {
    ok_ = false;
    return {};
  }
  const std::string_view bytes = data_.substr(pos_, length);
  pos_ += padded;
  return bytes;
}

void XdrWriter::U32(std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
                         static_cast<char>(value)};
  out_.append(bytes, 4);
}

void XdrWriter::Opaque(std::string_view data) {
  U32(static_cast<std::uint32_t>(data.size()));
  out_ += data;
  out_.append((4 - data.size() % 4) % 4, '\0');
}

std::optional<std::string> AnswerRecord(std::string_view record, RpcDispatcher& dispatcher) {
  XdrReader in(record);
  RpcCall call;
  call.xid = in.U32();
  const std::uint32_t type = in.U32();
  const std::uint32_t rpcVersion = in.U32();
  call.program = in.U32();
  call.version = in.U32();
  call.procedure = in.U32();
  in.U32();  // credential flavour; any is accepted
  in.Opaque(kMaxAuthBody);
  in.U32();  // verifier flavour
  in.Opaque(kMaxAuthBody);
  if (!in.ok() || type != kCall) return std::nullopt;

  std::string reply;
  XdrWriter out(reply);
  out.U32(call.xid);
  out.U32(kReply);
  if (rpcVersion != kRpcVersion) {
    out.U32(kMessageDenied);
    out.U32(kRpcMismatch);
    out.U32(kRpcVersion);
    out.U32(kRpcVersion);
    return reply;
  }
  out.U32(kMessageAccepted);
  out.U32(kAuthNone);
  out.Opaque({});
  const std::size_t statusAt = reply.size();
  out.U32(static_cast<std::uint32_t>(AcceptStat::Success));

  const RpcOutcome outcome = dispatcher.Dispatch(call, in, out);
  if (outcome.closeConnection) return std::nullopt;
  if (outcome.status != AcceptStat::Success) {
    reply.resize(statusAt);
    out.U32(static_cast<std::uint32_t>(outcome.status));
    if (outcome.status == AcceptStat::ProgramMismatch) {
      out.U32(outcome.lowVersion);
      out.U32(outcome.highVersion);
    }
  }
  return reply;
}

void ServeRpcConnection(int fd, RpcDispatcher& dispatcher, std::size_t maxRecord) {
  while (const std::optional<std::string> record = ReceiveRecord(fd, maxRecord)) {
    const std::optional<std::string> reply = AnswerRecord(*record, dispatcher);
    if (!reply) return;
    std::string framed;
    XdrWriter(framed).U32(kLastFragment | static_cast<std::uint32_t>(reply->size()));
    framed += *reply;
    if (!SendAll(fd, framed)) return;
  }
}

}  // namespace zta_sim
