#pragma once

// ONC RPC (RFC 5531) calls over TCP with record marking, for the VXI-11
// core channel and the port-mapper. Arguments are small and encoded into a
// fixed buffer; bulk data (the data of a device write, the data a device
// read returns) goes between the socket and the caller's buffer directly.
// Replies to earlier calls (a call whose reply came too late) are skipped
// by transaction ID, and a reply cut short by a deadline is skipped when
// the next reply is awaited.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "visa/deadline.h"
#include "visa/socket_input.h"
#include "visa/unique_fd.h"
#include "visa/visa_types.h"

namespace hvzelta::visa::rpc {

// The fields of an ONC RPC message that say what it is and how it went.
constexpr ViUInt32 kCall = 0;
constexpr ViUInt32 kReply = 1;
constexpr ViUInt32 kRpcVersion = 2;
constexpr ViUInt32 kMsgAccepted = 0;
constexpr ViUInt32 kAcceptSuccess = 0;
// The VXI-11 core channel's program.
constexpr ViUInt32 kVxi11CoreProgram = 0x0607AF;
constexpr ViUInt32 kVxi11CoreVersion = 1;

constexpr ViUInt32 kPortmapperProgram = 100000;
constexpr ViUInt32 kPortmapperVersion = 2;
constexpr ViUInt32 kPortmapperGetPort = 3;
constexpr ViUInt32 kProtocolTcp = 6;
constexpr std::uint16_t kPortmapperPort = 111;

// XDR encoding of the arguments of one call.
class Arguments {
 public:
  Arguments& U32(ViUInt32 value);
  // A counted string or opaque, padded to four bytes; false when too long.
  Arguments& Opaque(std::string_view bytes);
  bool Overflowed() const { return overflowed_; }
  const ViByte* Data() const { return bytes_.data(); }
  std::size_t Size() const { return size_; }

 private:
  std::array<ViByte, 512> bytes_{};
  std::size_t size_ = 0;
  bool overflowed_ = false;
};

class Client {
 public:
  explicit Client(UniqueFd socket);

  int Socket() const { return socket_.Get(); }
  bool Broken() const { return broken_; }

  // Sends a call; `bulk`, when given, follows the arguments as the bytes
  // of an opaque whose length the arguments end with, and is padded.
  ViStatus Call(ViUInt32 program, ViUInt32 version, ViUInt32 procedure, const Arguments& arguments,
                const ViByte* bulk, std::size_t bulkSize, const Deadline& deadline);

  // Reads the reply to the last call up to its results; then the results
  // are read in order, and EndReply skips what is left of the record.
  ViStatus BeginReply(const Deadline& deadline);
  ViStatus ReadU32(ViUInt32& value, const Deadline& deadline);
  // An opaque into the caller's buffer; one longer than `capacity` is a
  // protocol violation.
  ViStatus ReadOpaque(ViByte* buffer, std::size_t capacity, std::size_t& length, const Deadline& deadline);
  ViStatus EndReply(const Deadline& deadline);

 private:
  ViStatus ReadRecord(void* buffer, std::size_t size, const Deadline& deadline);
  ViStatus SkipRecord(const Deadline& deadline);
  ViStatus NextFragment(const Deadline& deadline);
  ViStatus Fail(ViStatus status);

  UniqueFd socket_;
  SocketInput input_;
  ViUInt32 xid_;
  bool broken_ = false;
  bool inRecord_ = false;     // part of a record is still unread
  ViUInt32 fragmentLeft_ = 0;
  bool lastFragment_ = false;
  ViByte markHave_ = 0;       // bytes of a fragment header already received
  std::array<ViByte, 4> mark_{};
};

// Asks the port-mapper at host:port for the TCP port of a program.
ViStatus GetPort(const std::string& host, std::uint16_t portmapperPort, ViUInt32 program, ViUInt32 version,
                 const Deadline& deadline, std::uint16_t& port);

}  // namespace hvzelta::visa::rpc
