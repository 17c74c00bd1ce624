#pragma once

// ONC RPC (RFC 5531) over TCP: XDR encoding, call and reply headers, record
// marking, and a loop that serves one connection with a dispatcher.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zta_sim {

// Reads XDR items; a read past the end yields zeros and marks the reader bad.
class XdrReader {
 public:
  explicit XdrReader(std::string_view data) : data_(data) {}

  std::uint32_t U32();
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  bool Bool() { return U32() != 0; }
  // Variable-length opaque data or string of at most maxLength bytes.
  std::string_view Opaque(std::size_t maxLength);
  bool ok() const { return ok_; }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

class XdrWriter {
 public:
  explicit XdrWriter(std::string& out) : out_(out) {}
  void U32(std::uint32_t value);
  void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
  void Opaque(std::string_view data);

 private:
  std::string& out_;
};

struct RpcCall {
  std::uint32_t xid = 0;
  std::uint32_t program = 0;
  std::uint32_t version = 0;
  std::uint32_t procedure = 0;
};

enum class AcceptStat : std::uint32_t {
  Success = 0,
  ProgramUnavailable = 1,
  ProgramMismatch = 2,
  ProcedureUnavailable = 3,
  GarbageArguments = 4,
};

struct RpcOutcome {
  AcceptStat status = AcceptStat::Success;
  std::uint32_t lowVersion = 0;  // the versions served, for ProgramMismatch
  std::uint32_t highVersion = 0;
  bool closeConnection = false;  // end the connection without replying
};

class RpcDispatcher {
 public:
  virtual ~RpcDispatcher() = default;
  // Decodes the arguments, acts, and writes the results (Success only).
  virtual RpcOutcome Dispatch(const RpcCall& call, XdrReader& arguments, XdrWriter& results) = 0;
};

// The reply to one call record (without record marking), or nothing when the
// record is no call or the dispatcher wants the connection closed.
std::optional<std::string> AnswerRecord(std::string_view record, RpcDispatcher& dispatcher);

// Serves RPC calls on a connected socket until the peer closes it, a record
// is larger than maxRecord or cannot be answered, or the dispatcher ends the
// connection.
void ServeRpcConnection(int fd, RpcDispatcher& dispatcher, std::size_t maxRecord);

}  // namespace zta_sim
