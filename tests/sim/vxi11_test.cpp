// VXI-11 over loopback, spoken by an ONC RPC client of the test's own on the
// driver's XDR encoding, which shares no code with the emulator's.

#include <gtest/gtest.h>

#include <future>
#include <random>
#include <string>
#include <tuple>
#include <utility>

#include "scpi_client.h"
#include "visa/onc_rpc.h"

namespace sim_test {
namespace {

constexpr std::uint32_t kPortmapper = 100000;
constexpr std::uint32_t kCore = 0x0607AF;
constexpr std::uint32_t kAbortChannel = 0x0607B0;

enum : std::uint32_t { kCreateLink = 10, kWrite = 11, kRead = 12, kClear = 15, kLock = 18, kUnlock = 19 };
enum : std::uint32_t { kDestroyLink = 23, kWaitLock = 1, kEnd = 8, kTermCharSet = 0x80 };
enum : std::int32_t { kReasonRequestCount = 1, kReasonTermChar = 2, kReasonEnd = 4 };

using XdrOut = hvzelta::visa::rpc::Arguments;

std::string Bytes(const XdrOut& xdr) { return {reinterpret_cast<const char*>(xdr.Data()), xdr.Size()}; }

// Reading past the end fails the test.
struct XdrIn {
  std::uint32_t U32() {
    if (bytes.size() - pos < 4) {
      ADD_FAILURE() << "XDR result too short";
      return 0;
    }
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[pos++]);
    return value;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::string Opaque() {
    const std::uint32_t length = U32();
    const std::size_t padded = (length + 3u) & ~3u;
    if (bytes.size() - pos < padded) {
      ADD_FAILURE() << "XDR opaque too short";
      return {};
    }
    return bytes.substr(std::exchange(pos, pos + padded), length);
  }
  std::string bytes;
  std::size_t pos = 0;
};

// Without a reply (closed, or none in time) the results are empty: reading them fails the test.
struct RpcReply {
  std::uint32_t replyStatus = 0;   // 0 accepted, 1 denied
  std::uint32_t acceptStatus = 0;  // or the reject status when denied
  XdrIn results;
};

class RpcTestClient {
 public:
  RpcTestClient(std::uint16_t port, std::uint32_t program, std::uint32_t version)
      : socket_(port), program_(program), version_(version) {}

  RpcReply Call(std::uint32_t procedure, const XdrOut& arguments, std::uint32_t rpcVersion = 2) {
    const std::uint32_t xid = ++xid_;
    XdrOut call;
    call.U32(xid).U32(0).U32(rpcVersion).U32(program_).U32(version_).U32(procedure);
    call.U32(0).Opaque({}).U32(0).Opaque({});  // no credential, no verifier
    SendRaw(Bytes(XdrOut().U32(0x80000000u | static_cast<std::uint32_t>(call.Size() + arguments.Size()))) +
            Bytes(call) + Bytes(arguments));
    std::string reply;
    for (bool last = false; !last;) {
      const std::string mark = socket_.ReadBytes(4, 5s);
      if (mark.size() < 4) return {};
      const std::uint32_t size = XdrIn{mark}.U32();
      last = (size & 0x80000000u) != 0;
      const std::string fragment = socket_.ReadBytes(size & 0x7FFFFFFFu, 5s);
      if (fragment.size() < (size & 0x7FFFFFFFu)) return {};
      reply += fragment;
    }
    XdrIn in{reply};
    EXPECT_EQ(in.U32(), xid);
    EXPECT_EQ(in.U32(), 1u);  // a reply
    RpcReply result;
    result.replyStatus = in.U32();
    if (result.replyStatus == 0) {
      EXPECT_EQ(in.U32(), 0u);  // verifier flavour
      EXPECT_EQ(in.Opaque(), "");
    }
    result.acceptStatus = in.U32();
    result.results = XdrIn{in.bytes.substr(in.pos)};
    return result;
  }
  void SendRaw(std::string_view bytes) { socket_.Send(bytes); }
  bool ClosedWithin(std::chrono::milliseconds timeout) { return socket_.ClosedWithin(timeout); }

 private:
  ScpiClient socket_;
  std::uint32_t program_;
  std::uint32_t version_;
  std::uint32_t xid_ = 0x1000;
};

// A core channel connection with a helper for each call.
class Core : public RpcTestClient {
 public:
  explicit Core(std::uint16_t port) : RpcTestClient(port, kCore, 1) {}

  std::int32_t CreateLink(const std::string& device = "inst0", std::int32_t* error = nullptr) {
    RpcReply reply = Call(kCreateLink, XdrOut().U32(7).U32(0).U32(0).Opaque(device));
    const std::int32_t code = reply.results.I32();
    if (error != nullptr) *error = code;
    const std::int32_t link = reply.results.I32();
    abortPort = static_cast<std::uint16_t>(reply.results.U32());
    return link;
  }

  std::int32_t Write(std::int32_t link, const std::string& data, std::uint32_t flags = kEnd,
                     std::uint32_t lockTimeout = 0) {
    RpcReply reply = Call(kWrite, XdrOut().U32(link).U32(1000).U32(lockTimeout).U32(flags).Opaque(data));
    const std::int32_t error = reply.results.I32();
    if (error == 0) {
      EXPECT_EQ(reply.results.U32(), data.size());
    }
    return error;
  }

  struct Read {
    std::int32_t error = -1;
    std::int32_t reason = 0;
    std::string data;
  };
  Read ReadData(std::int32_t link, std::uint32_t size = 1024, std::uint32_t flags = kTermCharSet,
                std::uint32_t ioTimeout = 2000) {
    RpcReply reply = Call(kRead, XdrOut().U32(link).U32(size).U32(ioTimeout).U32(0).U32(flags).U32('\n'));
    return {reply.results.I32(), reply.results.I32(), reply.results.Opaque()};  // in order
  }

  std::string Query(std::int32_t link, const std::string& message) {
    EXPECT_EQ(Write(link, message + "\n"), 0);
    return ReadData(link).data;
  }

  // Device_GenericParms calls and the lock calls answer only an error code.
  std::int32_t Generic(std::uint32_t procedure, std::int32_t link, std::uint32_t flags = 0,
                       std::uint32_t lockTimeout = 0) {
    XdrOut arguments;
    arguments.U32(link);
    if (procedure == kLock) arguments.U32(flags).U32(lockTimeout);
    else if (procedure != kUnlock && procedure != kDestroyLink) arguments.U32(flags).U32(lockTimeout).U32(1000);
    return Call(procedure, arguments).results.I32();
  }

  std::uint16_t abortPort = 0;
};

using Vxi11 = TransportTest<&zta_sim::Options::vxi11, &zta_sim::Endpoints::vxi11Port>;

TEST_F(Vxi11, PortmapperPointsAtTheCoreChannel) {
  RpcTestClient portmapper(emulator_.endpoints().portmapperPort, kPortmapper, 2);
  auto getPort = [&](std::uint32_t program, std::uint32_t protocol) {
    return portmapper.Call(3, XdrOut().U32(program).U32(1).U32(protocol).U32(0)).results.U32();
  };
  EXPECT_EQ(getPort(kCore, 6), port());
  EXPECT_EQ(getPort(kAbortChannel, 6), port());
  EXPECT_EQ(getPort(kCore, 17), 0u);  // no UDP
  EXPECT_EQ(getPort(12345, 6), 0u);

  RpcReply dump = portmapper.Call(4, XdrOut());
  int entries = 0;
  for (; dump.results.U32() == 1; ++entries) {
    for (int i = 0; i < 4; ++i) dump.results.U32();
  }
  EXPECT_EQ(entries, 2);

  RpcTestClient version3(emulator_.endpoints().portmapperPort, kPortmapper, 3);
  RpcReply mismatch = version3.Call(3, XdrOut().U32(kCore).U32(1).U32(6).U32(0));
  EXPECT_EQ(std::make_tuple(mismatch.acceptStatus, mismatch.results.U32(), mismatch.results.U32()),
            std::make_tuple(2u, 2u, 2u));
}

TEST_F(Vxi11, LinksAnswerQueriesWithTheReasonsTheReadsStoppedAndTheQueryErrors) {
  Core core(port());
  std::int32_t error = -1;
  const std::int32_t link = core.CreateLink("inst0", &error);
  EXPECT_EQ(std::tie(error, core.abortPort), std::make_tuple(0, port()));
  core.CreateLink("gpib0,5", &error);
  EXPECT_EQ(error, 3);

  EXPECT_EQ(core.ReadData(link, 1024, kTermCharSet, 100).error, 15);  // nothing asked: timeout
  ASSERT_EQ(core.Write(link, "*IDN?\n"), 0);
  auto read = core.ReadData(link);
  EXPECT_EQ(std::tie(read.error, read.reason), std::make_tuple(0, kReasonTermChar | kReasonEnd));
  EXPECT_EQ(read.data.substr(0, 15), "Halvorn,ZTA100,");

  // A message may end with END alone, and span several writes.
  ASSERT_EQ(core.Write(link, "VOLT 1", 0), 0);
  ASSERT_EQ(core.Write(link, "2;VOLT?", kEnd), 0);
  read = core.ReadData(link, 5);
  EXPECT_EQ(std::tie(read.reason, read.data), std::make_tuple(kReasonRequestCount, "+1.20"));
  read = core.ReadData(link, 100, 0);  // no termination character asked for
  EXPECT_EQ(std::tie(read.reason, read.data), std::make_tuple(kReasonEnd, "000000E+01\n"));

  // A device clear drops half a message.
  ASSERT_EQ(core.Write(link, "VOLT 7", 0), 0);
  EXPECT_EQ(core.Generic(kClear, link), 0);
  EXPECT_EQ(core.Query(link, "VOLT?"), "+1.20000000E+01\n");

  // Query errors follow IEEE 488.2.
  ASSERT_EQ(core.Write(link, "*IDN?\n"), 0);
  EXPECT_EQ(core.Query(link, "FREQ?"), "+6.00000000E+01\n");  // the identity was never read
  EXPECT_EQ(core.Query(link, "SYST:ERR?"), "-420,\"Query UNTERMINATED\"\n");
  EXPECT_EQ(core.Query(link, "SYST:ERR?"), "-410,\"Query INTERRUPTED\"\n");
  EXPECT_EQ(core.Generic(kDestroyLink, link), 0);
  EXPECT_EQ(core.Write(link, "*IDN?\n"), 4);  // invalid link
}

TEST_F(Vxi11, ALockKeepsOtherLinksOut) {
  Core first(port());
  Core second(port());
  const std::int32_t a = first.CreateLink();
  const std::int32_t b = second.CreateLink();
  EXPECT_EQ(first.Generic(kLock, a), 0);
  EXPECT_EQ(second.Write(b, "VOLT 5\n"), 11);
  EXPECT_EQ(second.Write(b, "VOLT 5\n", kEnd | kWaitLock, 100), 11);
  EXPECT_EQ(second.Generic(kLock, b, kWaitLock, 50), 11);
  EXPECT_EQ(second.Generic(kUnlock, b), 12);  // holds none

  auto waiting = std::async(std::launch::async, [&] { return second.Write(b, "VOLT 5\n", kEnd | kWaitLock, 5000); });
  EXPECT_EQ(first.Generic(kUnlock, a), 0);
  EXPECT_EQ(waiting.get(), 0);
  EXPECT_EQ(first.Query(a, "VOLT?"), "+5.00000000E+00\n");
}

TEST_F(Vxi11, AbortEndsAWaitingRead) {
  Core core(port());
  const std::int32_t link = core.CreateLink();
  auto read = std::async(std::launch::async, [&] { return core.ReadData(link, 1024, kTermCharSet, 10000); });
  RpcTestClient abortChannel(core.abortPort, kAbortChannel, 1);
  // The read may not have started yet; abort until it ends.
  std::future_status status = std::future_status::timeout;
  for (int attempt = 0; attempt < 100 && status != std::future_status::ready && !HasFailure(); ++attempt) {
    EXPECT_EQ(abortChannel.Call(1, XdrOut().U32(static_cast<std::uint32_t>(link))).results.I32(), 0);
    status = read.wait_for(50ms);
  }
  ASSERT_EQ(status, std::future_status::ready);
  EXPECT_EQ(read.get().error, 23);
}

TEST_F(Vxi11, MalformedRpcClosesOnlyThatConnection) {
  RpcTestClient garbage(port(), kCore, 1);
  std::mt19937 random(5);
  std::string bytes = Bytes(XdrOut().U32(0x80000000u | 64));
  for (int i = 0; i < 64; ++i) bytes += static_cast<char>(random());
  garbage.SendRaw(bytes);
  EXPECT_TRUE(garbage.ClosedWithin(1000ms));

  RpcTestClient huge(port(), kCore, 1);
  huge.SendRaw(Bytes(XdrOut().U32(0x7FFFFFFFu)));  // a record far beyond any call
  EXPECT_TRUE(huge.ClosedWithin(1000ms));

  RpcTestClient client(port(), kCore, 1);
  EXPECT_EQ(client.Call(kCreateLink, XdrOut(), 1).replyStatus, 1u);  // RPC version 1: denied
  EXPECT_EQ(client.Call(99, XdrOut()).acceptStatus, 3u);              // no such procedure
  EXPECT_EQ(client.Call(kWrite, XdrOut().U32(1)).acceptStatus, 4u);   // garbage arguments

  Core core(port());
  EXPECT_EQ(core.Query(core.CreateLink(), "*OPC?"), "1\n");
}

}  // namespace
}  // namespace sim_test
