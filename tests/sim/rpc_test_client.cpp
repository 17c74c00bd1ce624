#include "rpc_test_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace sim_test {

XdrOut& XdrOut::U32(std::uint32_t value) {
  const std::uint32_t network = htonl(value);
  bytes_.append(reinterpret_cast<const char*>(&network), 4);
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
  std::uint32_t network = 0;
  bytes_.copy(reinterpret_cast<char*>(&network), 4, pos_);
  pos_ += 4;
  return ntohl(network);
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

RpcTestClient::RpcTestClient(std::uint16_t port, std::uint32_t program, std::uint32_t version)
    : program_(program), version_(version) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ < 0 || connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("cannot connect to the RPC server");
  }
}

RpcTestClient::~RpcTestClient() {
  if (fd_ >= 0) close(fd_);
}

void RpcTestClient::SendRaw(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

bool RpcTestClient::ReceiveExactly(char* data, std::size_t size, std::chrono::steady_clock::time_point deadline) {
  while (size > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{fd_, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
    const ssize_t received = recv(fd_, data, size, 0);
    if (received <= 0) return false;
    data += received;
    size -= static_cast<std::size_t>(received);
  }
  return true;
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

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string reply;
  bool last = false;
  while (!last) {
    std::uint32_t mark = 0;
    if (!ReceiveExactly(reinterpret_cast<char*>(&mark), 4, deadline)) return std::nullopt;
    mark = ntohl(mark);
    last = (mark & 0x80000000u) != 0;
    std::string fragment(mark & 0x7FFFFFFFu, '\0');
    if (!ReceiveExactly(fragment.data(), fragment.size(), deadline)) return std::nullopt;
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

bool RpcTestClient::ClosedWithin(std::chrono::milliseconds timeout) {
  char byte = 0;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, 50) > 0 && recv(fd_, &byte, 1, 0) <= 0) return true;
  }
  return false;
}

}  // namespace sim_test
