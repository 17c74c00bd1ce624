#pragma once

// A minimal ONC RPC client over TCP, written apart from the emulator's own
// RPC code so that the two cannot share a mistake.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "scpi_client.h"

namespace sim_test {

// Builds XDR call arguments.
class XdrOut {
 public:
  XdrOut& U32(std::uint32_t value);
  XdrOut& Opaque(std::string_view data);
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// Reads XDR results; reading past the end fails the test.
class XdrIn {
 public:
  explicit XdrIn(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint32_t U32();
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::string Opaque();
  std::string Rest() { return bytes_.substr(std::exchange(pos_, bytes_.size())); }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
};

struct RpcReply {
  std::uint32_t replyStatus = 0;   // 0 accepted, 1 denied
  std::uint32_t acceptStatus = 0;  // 0 success, 2 program mismatch, ...
  XdrIn results{""};               // after the accept status
};

class RpcTestClient {
 public:
  RpcTestClient(std::uint16_t port, std::uint32_t program, std::uint32_t version)
      : socket_(port), program_(program), version_(version) {}

  // Nothing when the connection closed or no reply came in time.
  std::optional<RpcReply> Call(std::uint32_t procedure, const XdrOut& arguments,
                               std::chrono::milliseconds timeout = 5000ms, std::uint32_t rpcVersion = 2);
  // Sends raw bytes, record marking included.
  void SendRaw(std::string_view bytes) { socket_.Send(bytes); }
  bool ClosedWithin(std::chrono::milliseconds timeout) { return socket_.ClosedWithin(timeout); }

 private:
  ScpiClient socket_;
  std::uint32_t program_;
  std::uint32_t version_;
  std::uint32_t xid_ = 0x1000;
};

}  // namespace sim_test
