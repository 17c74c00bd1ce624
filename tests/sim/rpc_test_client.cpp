#include "rpc_test_client.h"

#include <gtest/gtest.h>

namespace sim_test {

XdrOut& XdrOut::U32(std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes_ += static_cast<char>(value >> shift);
  return *this;
}

XdrOut& XdrOut::Opaque(std::string_view data) {
  U32(static_cast<std::uint32_t>(data.size()));
  bytes_ += data;
  while (bytes_.size() % 4 != 0) bytes_ += '\0';
  return *this;
}

std::uint32_t XdrIn::U32() {
  if (bytes_.size() - pos_ < 4) {
    ADD_FAILURE() << "XDR result too short";
    return 0;
  }
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes_[pos_++]);
  return value;
}

std::string XdrIn::Opaque() {
  const std::uint32_t length = U32();
  const std::size_t padded = (length + 3u) & ~3u;
  if (bytes_.size() - pos_ < padded) {
    ADD_FAILURE() << "XDR opaque too short";
    return {};
  }
  std::string data = bytes_.substr(pos_, length);
  pos_ += padded;
  return data;
}

std::optional<RpcReply> RpcTestClient::Call(std::uint32_t procedure, const XdrOut& arguments,
                                            std::chrono::milliseconds timeout, std::uint32_t rpcVersion) {
  const std::uint32_t xid = ++xid_;
  XdrOut call;
  call.U32(xid).U32(0).U32(rpcVersion).U32(program_).U32(version_).U32(procedure);
  call.U32(0).Opaque({}).U32(0).Opaque({});  // no credential, no verifier
  XdrOut record;
  record.U32(0x80000000u | static_cast<std::uint32_t>(call.bytes().size() + arguments.bytes().size()));
  SendRaw(record.bytes() + call.bytes() + arguments.bytes());

  std::string reply;
  for (bool last = false; !last;) {
    const std::string mark = socket_.ReadBytes(4, timeout);
    if (mark.size() < 4) return std::nullopt;
    const std::uint32_t size = XdrIn(mark).U32();
    last = (size & 0x80000000u) != 0;
    const std::string fragment = socket_.ReadBytes(size & 0x7FFFFFFFu, timeout);
    if (fragment.size() < (size & 0x7FFFFFFFu)) return std::nullopt;
    reply += fragment;
  }
  XdrIn in(reply);
  EXPECT_EQ(in.U32(), xid);
  EXPECT_EQ(in.U32(), 1u);  // a reply
  RpcReply result;
  result.replyStatus = in.U32();
  if (result.replyStatus == 0) {
    EXPECT_EQ(in.U32(), 0u);  // verifier flavour
    EXPECT_EQ(in.Opaque(), "");
  }
  result.acceptStatus = in.U32();  // the reject status when denied
  result.results = XdrIn(in.Rest());
  return result;
}

}  // namespace sim_test
