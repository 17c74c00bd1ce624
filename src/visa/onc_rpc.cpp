#include "visa/onc_rpc.h"

#include <sys/uio.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "visa/socket_io.h"

namespace hvzelta::visa::rpc {
namespace {

constexpr ViUInt32 kLastFragment = 0x80000000u;
constexpr ViUInt32 kMaxVerifier = 400;

void PutU32(ViByte* at, ViUInt32 value) {
  at[0] = static_cast<ViByte>(value >> 24);
  at[1] = static_cast<ViByte>(value >> 16);
  at[2] = static_cast<ViByte>(value >> 8);
  at[3] = static_cast<ViByte>(value);
}

ViUInt32 GetU32(const ViByte* at) {
  return (ViUInt32{at[0]} << 24) | (ViUInt32{at[1]} << 16) | (ViUInt32{at[2]} << 8) | at[3];
}

std::size_t Padding(std::size_t size) { return (4 - size % 4) % 4; }

// Transaction IDs differ between clients of one process, so that a reply
// can only ever match the call it answers.
std::atomic<ViUInt32> nextXid{0x48560000u};

}  // namespace

Arguments& Arguments::U32(ViUInt32 value) {
  if (size_ + 4 > bytes_.size()) {
    overflowed_ = true;
    return *this;
  }
  PutU32(bytes_.data() + size_, value);
  size_ += 4;
  return *this;
}

Arguments& Arguments::Opaque(std::string_view bytes) {
  if (size_ + 4 + bytes.size() + Padding(bytes.size()) > bytes_.size()) {
    overflowed_ = true;
    return *this;
  }
  U32(static_cast<ViUInt32>(bytes.size()));
  // An empty view may have no data at all, which memcpy must not be given.
  if (!bytes.empty()) std::memcpy(bytes_.data() + size_, bytes.data(), bytes.size());
  size_ += bytes.size() + Padding(bytes.size());
  return *this;
}

Client::Client(UniqueFd socket) : socket_(std::move(socket)), input_(socket_.Get()), xid_(nextXid.fetch_add(1)) {}

ViStatus Client::Fail(ViStatus status) {
  broken_ = true;
  return status;
}

ViStatus Client::Call(ViUInt32 program, ViUInt32 version, ViUInt32 procedure, const Arguments& arguments,
                      const ViByte* bulk, std::size_t bulkSize, const Deadline& deadline) {
  if (broken_) return VI_ERROR_CONN_LOST;
  if (arguments.Overflowed()) return VI_ERROR_INV_PARAMETER;
  xid_ = nextXid.fetch_add(1);
  ViByte header[44];
  static constexpr ViByte kPad[4] = {};
  const std::size_t pad = bulk ? Padding(bulkSize) : 0;
  const std::size_t body = 40 + arguments.Size() + (bulk ? bulkSize + pad : 0);
  if (body > 0x7FFFFFFFu) return VI_ERROR_INV_PARAMETER;
  PutU32(header, kLastFragment | static_cast<ViUInt32>(body));
  const ViUInt32 words[] = {xid_, kCall, kRpcVersion, program, version, procedure, 0, 0, 0, 0};
  for (std::size_t i = 0; i < std::size(words); ++i) PutU32(header + 4 + 4 * i, words[i]);
  iovec pieces[4] = {{header, sizeof header},
                     {const_cast<ViByte*>(arguments.Data()), arguments.Size()},
                     {const_cast<ViByte*>(bulk), bulk ? bulkSize : 0},
                     {const_cast<ViByte*>(kPad), pad}};
  ViStatus status = SendAll(socket_.Get(), pieces, 4, deadline);
  if (status == VI_SUCCESS) input_.ExpectReply();
  return status == VI_SUCCESS || status == VI_ERROR_TMO ? status : Fail(status);
}

ViStatus Client::NextFragment(const Deadline& deadline) {
  while (markHave_ < mark_.size()) {
    std::size_t got = 0;
    ViStatus status = input_.ReceiveSome(mark_.data() + markHave_, mark_.size() - markHave_, deadline, got);
    if (status != VI_SUCCESS) return status == VI_ERROR_TMO ? status : Fail(status);
    markHave_ = static_cast<ViByte>(markHave_ + got);
  }
  markHave_ = 0;
  const ViUInt32 mark = GetU32(mark_.data());
  lastFragment_ = (mark & kLastFragment) != 0;
  fragmentLeft_ = mark & ~kLastFragment;
  return VI_SUCCESS;
}

ViStatus Client::ReadRecord(void* buffer, std::size_t size, const Deadline& deadline) {
  auto* at = static_cast<ViByte*>(buffer);
  for (int round = 0; size > 0; ++round) {
    if (round > 0 && deadline.Expired()) return VI_ERROR_TMO;
    if (fragmentLeft_ == 0) {
      if (lastFragment_) return Fail(VI_ERROR_IO);  // the reply is shorter than its contents
      if (ViStatus status = NextFragment(deadline); status != VI_SUCCESS) return status;
      continue;
    }
    std::size_t got = 0;
    ViStatus status = input_.ReceiveSome(at, std::min<std::size_t>(size, fragmentLeft_), deadline, got);
    if (status != VI_SUCCESS) return status == VI_ERROR_TMO ? status : Fail(status);
    at += got;
    size -= got;
    fragmentLeft_ -= static_cast<ViUInt32>(got);
  }
  return VI_SUCCESS;
}

ViStatus Client::SkipRecord(const Deadline& deadline) {
  ViByte scratch[4096];
  for (int round = 0; inRecord_; ++round) {
    if (round > 0 && deadline.Expired()) return VI_ERROR_TMO;
    if (fragmentLeft_ == 0) {
      if (lastFragment_) {
        inRecord_ = false;
        break;
      }
      if (ViStatus status = NextFragment(deadline); status != VI_SUCCESS) return status;
      continue;
    }
    std::size_t got = 0;
    ViStatus status =
        input_.ReceiveSome(scratch, std::min<std::size_t>(sizeof scratch, fragmentLeft_), deadline, got);
    if (status != VI_SUCCESS) return status == VI_ERROR_TMO ? status : Fail(status);
    fragmentLeft_ -= static_cast<ViUInt32>(got);
  }
  return VI_SUCCESS;
}

ViStatus Client::BeginReply(const Deadline& deadline) {
  for (int round = 0;; ++round) {
    if (broken_) return VI_ERROR_CONN_LOST;
    if (round > 0 && deadline.Expired()) return VI_ERROR_TMO;
    if (ViStatus status = SkipRecord(deadline); status != VI_SUCCESS) return status;
    // A new record starts with its first fragment header.
    if (ViStatus status = NextFragment(deadline); status != VI_SUCCESS) return status;
    inRecord_ = true;
    ViByte head[12];
    if (ViStatus status = ReadRecord(head, sizeof head, deadline); status != VI_SUCCESS) return status;
    if (GetU32(head) != xid_) continue;  // the reply to a call given up on
    if (GetU32(head + 4) != kReply) return Fail(VI_ERROR_IO);
    if (GetU32(head + 8) != kMsgAccepted) {
      EndReply(deadline);
      return VI_ERROR_IO;
    }
    ViByte verifier[8];
    if (ViStatus status = ReadRecord(verifier, sizeof verifier, deadline); status != VI_SUCCESS) return status;
    const ViUInt32 verifierSize = GetU32(verifier + 4);
    if (verifierSize > kMaxVerifier) return Fail(VI_ERROR_IO);
    ViByte skipped[kMaxVerifier + 4];
    const std::size_t padded = verifierSize + Padding(verifierSize);
    if (ViStatus status = ReadRecord(skipped, padded, deadline); status != VI_SUCCESS) return status;
    ViUInt32 accepted = 0;
    if (ViStatus status = ReadU32(accepted, deadline); status != VI_SUCCESS) return status;
    if (accepted != kAcceptSuccess) {
      EndReply(deadline);
      return VI_ERROR_IO;
    }
    return VI_SUCCESS;
  }
}

ViStatus Client::ReadU32(ViUInt32& value, const Deadline& deadline) {
  ViByte bytes[4];
  if (ViStatus status = ReadRecord(bytes, sizeof bytes, deadline); status != VI_SUCCESS) return status;
  value = GetU32(bytes);
  return VI_SUCCESS;
}

ViStatus Client::ReadOpaque(ViByte* buffer, std::size_t capacity, std::size_t& length, const Deadline& deadline) {
  ViUInt32 size = 0;
  length = 0;
  if (ViStatus status = ReadU32(size, deadline); status != VI_SUCCESS) return status;
  if (size > capacity) return Fail(VI_ERROR_IO);
  if (ViStatus status = ReadRecord(buffer, size, deadline); status != VI_SUCCESS) return status;
  length = size;
  ViByte pad[4];
  return ReadRecord(pad, Padding(size), deadline);
}

ViStatus Client::EndReply(const Deadline& deadline) { return SkipRecord(deadline); }

ViStatus GetPort(const std::string& host, std::uint16_t portmapperPort, ViUInt32 program, ViUInt32 version,
                 const Deadline& deadline, std::uint16_t& port) {
  UniqueFd socket;
  if (ViStatus status = ConnectTcp(host, portmapperPort, deadline, socket); status != VI_SUCCESS) return status;
  Client client(std::move(socket));
  Arguments arguments;
  arguments.U32(program).U32(version).U32(kProtocolTcp).U32(0);
  ViUInt32 answer = 0;
  if (client.Call(kPortmapperProgram, kPortmapperVersion, kPortmapperGetPort, arguments, nullptr, 0, deadline) !=
          VI_SUCCESS ||
      client.BeginReply(deadline) != VI_SUCCESS || client.ReadU32(answer, deadline) != VI_SUCCESS ||
      answer == 0 || answer > 0xFFFF)
    return VI_ERROR_RSRC_NFOUND;
  port = static_cast<std::uint16_t>(answer);
  return VI_SUCCESS;
}

}  // namespace hvzelta::visa::rpc
