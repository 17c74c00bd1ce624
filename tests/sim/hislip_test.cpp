// HiSLIP over loopback, spoken by a client of the test's own on the driver's
// message encoding, which shares no code with the emulator's.

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "scpi_client.h"
#include "visa/hislip_protocol.h"

namespace sim_test {
namespace {

using zta_sim::FaultKind;

// Message types, by number: the driver's, and those only a server needs.
namespace hs {
using namespace hvzelta::visa::hislip;
enum : std::uint8_t { kAsyncRemoteLocalControl = 10, kAsyncRemoteLocalResponse };
enum : std::uint8_t { kAsyncLockInfo = 24, kAsyncLockInfoResponse };
}  // namespace hs

struct HislipMessage {
  std::uint8_t type = 0xFF;  // 0xFF: nothing came
  std::uint8_t control = 0;
  std::uint32_t parameter = 0;
  std::string payload;
};

// One channel: a socket that sends and receives whole messages.
class Channel : public ScpiClient {
 public:
  using ScpiClient::ScpiClient;
  using ScpiClient::Send;

  void Send(std::uint8_t type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {}) {
    std::string message(hs::kHeaderSize, '\0');
    hs::EncodeHeader({type, control, parameter, payload.size()},
                     reinterpret_cast<hvzelta::visa::ViByte*>(message.data()));
    Send(message + std::string(payload));
  }
  HislipMessage Receive(std::chrono::milliseconds timeout = 2000ms) {
    const std::string header = ReadBytes(hs::kHeaderSize, timeout);
    hs::Header decoded;
    if (header.size() < hs::kHeaderSize) return {};
    EXPECT_TRUE(hs::DecodeHeader(reinterpret_cast<const hvzelta::visa::ViByte*>(header.data()), decoded));
    HislipMessage message{decoded.type, decoded.control, decoded.parameter, ReadBytes(decoded.length, timeout)};
    EXPECT_EQ(message.payload.size(), decoded.length);
    return message;
  }
  HislipMessage Ask(std::uint8_t type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {},
                    std::chrono::milliseconds timeout = 2000ms) {
    Send(type, control, parameter, payload);
    return Receive(timeout);
  }
};

// A whole session in synchronized mode: both channels initialized, message
// IDs and the RMT-delivered bit kept as a client must.
class HislipSession {
 public:
  explicit HislipSession(std::uint16_t port) : sync(port), async(port) {
    const HislipMessage initialized = sync.Ask(hs::kInitialize, 0, 0x0100'0000u | ('T' << 8) | 'C', "hislip0");
    EXPECT_EQ(initialized.type, hs::kInitializeResponse);
    EXPECT_EQ(initialized.parameter >> 16, 0x0100u);  // the version both speak
    sessionId = static_cast<std::uint16_t>(initialized.parameter);
    EXPECT_EQ(async.Ask(hs::kAsyncInitialize, 0, sessionId).type, hs::kAsyncInitializeResponse);
  }

  // A program message in one DataEnd (or Data when `end` is false).
  void Write(std::string_view text, bool end = true) {
    sync.Send(end ? hs::kDataEnd : hs::kData, rmtDelivered_ ? 1 : 0, nextId_, text);
    rmtDelivered_ = false;
    lastId = nextId_;
    nextId_ += 2;
  }
  // The payloads up to the DataEnd carrying the last message's ID.
  std::string Read(std::chrono::milliseconds timeout = 2000ms) {
    std::string reply;
    dataMessages = 0;
    for (int i = 0; i < 100000; ++i) {
      HislipMessage message = sync.Receive(timeout);
      if (message.type == 0xFF) return "<no reply>";
      if (message.type != hs::kData && message.type != hs::kDataEnd) {
        ADD_FAILURE() << "message type " << int{message.type} << " on the synchronous channel";
      } else if (message.parameter == lastId) {  // not the reply to an earlier message
        ++dataMessages;
        reply += message.payload;
        if (message.type == hs::kDataEnd) {
          rmtDelivered_ = true;
          return reply;
        }
      }
    }
    return "<endless reply>";
  }
  std::string Query(std::string_view text, std::chrono::milliseconds timeout = 2000ms) {
    Write(text);
    return Read(timeout);
  }
  std::uint8_t StatusByte() {
    const HislipMessage status = async.Ask(hs::kAsyncStatusQuery, rmtDelivered_ ? 1 : 0, lastId);
    rmtDelivered_ = false;
    EXPECT_EQ(status.type, hs::kAsyncStatusResponse);
    return status.control;
  }
  // Both halves of a device clear.
  bool Clear() {
    const HislipMessage acknowledged = async.Ask(hs::kAsyncDeviceClear, 0, 0);
    if (acknowledged.type != hs::kAsyncDeviceClearAcknowledge) return false;
    sync.Send(hs::kDeviceClearComplete, acknowledged.control, 0);
    for (int i = 0; i < 1000; ++i) {
      const std::uint8_t type = sync.Receive().type;
      if (type == 0xFF) return false;
      if (type != hs::kDeviceClearAcknowledge) continue;
      nextId_ = 0xFFFFFF00u;
      lastId = nextId_ - 2;
      rmtDelivered_ = false;
      return true;
    }
    return false;
  }
  // The lock response code, -1 for none; an empty key asks for the exclusive lock.
  int Lock(std::string_view key = {}, std::uint32_t timeoutMs = 0) {
    const HislipMessage reply = async.Ask(hs::kAsyncLock, 1, timeoutMs, key, std::chrono::milliseconds(timeoutMs) + 2s);
    return reply.type == hs::kAsyncLockResponse ? reply.control : -1;
  }
  int Unlock() {
    const HislipMessage reply = async.Ask(hs::kAsyncLock, 0, lastId);
    return reply.type == hs::kAsyncLockResponse ? reply.control : -1;
  }

  Channel sync;
  Channel async;
  std::uint16_t sessionId = 0;
  std::uint32_t lastId = 0;  // of the last message sent
  int dataMessages = 0;      // Data and DataEnd messages the last Read took

 private:
  std::uint32_t nextId_ = 0xFFFFFF00u;
  bool rmtDelivered_ = false;
};

using HislipServerTest = TransportTest<&zta_sim::Options::hislip, &zta_sim::Endpoints::hislipPort>;

TEST_F(HislipServerTest, HandshakeThenRepliesCarryTheirRequestsIdAndEndWithDataEnd) {
  HislipSession session(port());
  EXPECT_NE(session.sessionId, 0);
  EXPECT_NE(HislipSession(port()).sessionId, session.sessionId);

  // END alone ends a program message, which may span several Data messages
  // cut anywhere.
  session.Write("VOLT 1", false);
  session.Write("2;VOLT?");
  EXPECT_EQ(session.Read(), "+1.20000000E+01\n");

  // Replies come in pieces of the size the client names, here 16 + 256 bytes.
  const HislipMessage size =
      session.async.Ask(hs::kAsyncMaximumMessageSize, 0, 0, std::string(6, '\0') + "\x01\x10");
  EXPECT_EQ(size.type, hs::kAsyncMaximumMessageSizeResponse);
  std::string queries = "FREQ?";
  for (int i = 0; i < 19; ++i) queries += ";FREQ?";
  const std::string reply = session.Query(queries);
  EXPECT_EQ(std::make_tuple(reply.size(), reply.substr(0, 16), session.dataMessages),
            std::make_tuple(20u * 16, "+6.00000000E+01;", 2));
}

TEST_F(HislipServerTest, StatusQueryReportsMavUntilTheClientHasTheReplyAndClearDropsHalfAMessage) {
  HislipSession session(port());
  session.Write("*CLS;*IDN?\n");
  EXPECT_EQ(session.StatusByte(), 0x10);  // the query was handled before the status was taken
  EXPECT_EQ(session.StatusByte(), 0x10);
  EXPECT_NE(session.Read(), "<no reply>");
  EXPECT_EQ(session.StatusByte(), 0);  // RMT-delivered

  // A new message while the reply is undelivered interrupts the query.
  session.Write("*IDN?\n");
  EXPECT_EQ(session.Query("*OPC?\n"), "1\n");
  EXPECT_EQ(session.Query("SYST:ERR?"), "-410,\"Query INTERRUPTED\"\n");

  session.Write("VOLT 12", false);
  ASSERT_TRUE(session.Clear());
  EXPECT_EQ(session.Query("VOLT?"), "+0.00000000E+00\n");  // IDs start over, so the reply is found
}

TEST_F(HislipServerTest, LocksHoldOtherSessionsBackUntilReleased) {
  HislipSession owner(port());
  HislipSession other(port());
  HislipSession outsider(port());
  EXPECT_EQ(owner.Lock(), 1);
  EXPECT_EQ(owner.Lock(), 1);  // already held
  EXPECT_EQ(other.Lock("", 50), 0);
  EXPECT_EQ(other.Lock("shared", 0), 0);
  HislipMessage info = other.async.Ask(hs::kAsyncLockInfo, 0, 0);
  EXPECT_EQ(std::tie(info.type, info.control, info.parameter), std::make_tuple(hs::kAsyncLockInfoResponse, 1, 1u));
  EXPECT_EQ(other.Unlock(), 3);  // holds none

  other.Write("VOLT 5;VOLT?\n");
  EXPECT_EQ(other.Read(200ms), "<no reply>");  // waits for the lock
  EXPECT_EQ(owner.Query("VOLT?"), "+0.00000000E+00\n");
  auto waiting = std::async(std::launch::async, [&] { return other.Lock("", 5000); });
  EXPECT_EQ(owner.Unlock(), 1);
  EXPECT_EQ(other.Read(), "+5.00000000E+00\n");
  EXPECT_EQ(waiting.get(), 1);
  EXPECT_EQ(other.Unlock(), 1);

  // A shared lock admits the sessions that share it.
  EXPECT_EQ(owner.Lock("bench"), 1);
  EXPECT_EQ(other.Lock("bench"), 1);
  EXPECT_EQ(other.Lock("other"), 3);  // one shared lock a session
  EXPECT_EQ(outsider.Lock("other", 0), 0);
  EXPECT_EQ(outsider.Lock("", 0), 0);
  info = outsider.async.Ask(hs::kAsyncLockInfo, 0, 0);
  EXPECT_EQ(std::tie(info.control, info.parameter), std::make_tuple(0, 2u));
  EXPECT_EQ(owner.Query("VOLT 7;VOLT?"), "+7.00000000E+00\n");
  EXPECT_EQ(other.Query("VOLT?"), "+7.00000000E+00\n");
  EXPECT_EQ(outsider.Query("VOLT?\n", 100ms), "<no reply>");
  ASSERT_TRUE(outsider.Clear());  // gives up the message that waits
  EXPECT_EQ(owner.Unlock(), 2);
  EXPECT_EQ(other.Unlock(), 2);
  EXPECT_EQ(outsider.Query("VOLT?"), "+7.00000000E+00\n");
  EXPECT_EQ(outsider.async.Ask(hs::kAsyncLock, 7, 0).type, hs::kError);  // neither request nor release
}

TEST_F(HislipServerTest, InputItCannotTakeGetsAnErrorAndTheSessionGoesOn) {
  HislipSession session(port());
  const struct {
    bool onAsync;
    std::uint8_t type;
    std::uint8_t control;
    std::string payload;
    std::uint8_t errorCode;
  } cases[] = {
      {false, 50, 0, "", 1},                     // no such type
      {false, hs::kAsyncStatusQuery, 0, "", 1},  // the other channel's message
      {true, hs::kData, 0, "*IDN?\n", 1},
      {false, 200, 0, "vendor", 3},
      {true, hs::kAsyncRemoteLocalControl, 9, "", 2},
      {true, hs::kAsyncMaximumMessageSize, 0, "1234", 0},
      {false, hs::kDataEnd, 0, std::string(64 * 1024 + 17, 'x'), 4},
      {true, hs::kAsyncLock, 1, std::string(300, 'k'), 4},
  };
  for (const auto& c : cases) {
    const HislipMessage error = (c.onAsync ? session.async : session.sync).Ask(c.type, c.control, 0, c.payload);
    EXPECT_EQ(std::tie(error.type, error.control), std::make_tuple(hs::kError, c.errorCode)) << int{c.type};
  }
  // A peer's own Error needs no answer.
  session.sync.Send(hs::kError, 0, 0, "client-side trouble");
  EXPECT_EQ(session.async.Ask(hs::kAsyncRemoteLocalControl, 1, 0).type, hs::kAsyncRemoteLocalResponse);
  EXPECT_EQ(session.Query("*OPC?"), "1\n");
}

TEST_F(HislipServerTest, BrokenConversationsEndWithAFatalError) {
  const auto fatal = [](Channel& channel, std::uint8_t code) {
    const HislipMessage message = channel.Receive();
    EXPECT_EQ(std::tie(message.type, message.control), std::make_tuple(hs::kFatalError, code));
    EXPECT_TRUE(channel.ClosedWithin(1000ms));
  };
  // Data before Initialize, a device that is not "hislip0", a session nobody opened.
  for (const auto& [type, parameter, payload] : {std::tuple(hs::kDataEnd, 0u, "*IDN?\n"),
                                                 std::tuple(hs::kInitialize, 0x01000000u, "inst0"),
                                                 std::tuple(hs::kAsyncInitialize, 0xBEEFu, "")}) {
    Channel channel(port());
    channel.Send(type, 0, parameter, payload);
    fatal(channel, 3);
  }
  Channel lonely(port());  // Data before the asynchronous channel
  EXPECT_EQ(lonely.Ask(hs::kInitialize, 0, 0x01000000, "hislip0").type, hs::kInitializeResponse);
  lonely.Send(hs::kDataEnd, 0, 0xFFFFFF00u, "*IDN?\n");
  fatal(lonely, 2);

  // A header without its prologue ends the session, both channels.
  HislipSession broken(port());
  broken.sync.Send("XS" + std::string(14, '\0'));
  fatal(broken.sync, 1);
  EXPECT_TRUE(broken.async.ClosedWithin(1000ms));

  HislipSession twice(port());
  EXPECT_EQ(twice.async.Ask(hs::kAsyncInitialize, 0, twice.sessionId).type, hs::kFatalError);

  EXPECT_EQ(HislipSession(port()).Query("*OPC?"), "1\n");
}

TEST_F(HislipServerTest, SessionsAreAdmittedUpToTheLimit) {
  std::vector<std::unique_ptr<HislipSession>> sessions;
  for (int i = 0; i < 16; ++i) sessions.push_back(std::make_unique<HislipSession>(port()));
  const HislipMessage refused = Channel(port()).Ask(hs::kInitialize, 0, 0x01000000, "hislip0");
  EXPECT_EQ(std::tie(refused.type, refused.control), std::make_tuple(hs::kFatalError, 4));
}

TEST(HislipServerStop, IsPromptWhileClientsStallWaitOrHoldReplies) {
  zta_sim::Options options = HislipServerTest::Serving();
  options.faults.lateDelay = std::chrono::minutes(10);
  options.faults.faults.push_back({FaultKind::Late, 1, 0.0});
  auto emulator = std::make_unique<RunningEmulator>(options);
  const std::uint16_t port = emulator->endpoints().hislipPort;
  HislipSession held(port);
  HislipSession owner(port);
  HislipSession locked(port);
  EXPECT_EQ(held.Query("*OPC?\n", 100ms), "<no reply>");  // held back for ten minutes
  EXPECT_EQ(owner.Lock(), 1);
  locked.Write("*OPC?\n");                       // waits for the lock
  locked.async.Send(hs::kAsyncLock, 1, 600000);  // so does this lock request
  Channel silent(port);                          // never says a word

  auto stopped = std::async(std::launch::async, [&] { emulator.reset(); });
  EXPECT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(silent.ClosedWithin(1000ms));
  EXPECT_TRUE(locked.async.ClosedWithin(1000ms));
}

}  // namespace
}  // namespace sim_test
