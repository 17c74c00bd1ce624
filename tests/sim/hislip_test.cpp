// HiSLIP over loopback, spoken by a client of the test's own: the
// handshake, replies and END, the status byte, device clear of half a
// message, locks, bad input, several sessions, faults and stopping. The
// ordinary exchanges (trigger, clear of a reply) are the driver's client's
// against the emulator, in tests/visa_emulator.

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "hislip_test_client.h"
#include "scpi_client.h"

namespace sim_test {
namespace {

using zta_sim::FaultKind;

zta_sim::Options HislipOptions() {
  zta_sim::Options options;
  options.socket = false;
  options.hislip = true;
  return options;
}

class HislipServerTest : public ::testing::Test {
 protected:
  std::uint16_t port() const { return emulator_.endpoints().hislipPort; }
  RunningEmulator emulator_{HislipOptions()};
};

TEST_F(HislipServerTest, HandshakeThenRepliesCarryTheirRequestsIdAndEndWithDataEnd) {
  HislipSession session(port(), 1 << 20);
  EXPECT_EQ(std::tie(session.serverVersion, session.vendorId, session.serverMaxMessage),
            std::make_tuple(0x0100, std::uint32_t{'H' << 8 | 'V'}, 64u * 1024 + 16));
  EXPECT_NE(session.sessionId, 0);
  EXPECT_NE(HislipSession(port()).sessionId, session.sessionId);

  session.Write("*IDN?\n");
  EXPECT_EQ(session.Read(), "Halvorn,ZTA100,HZ1000417,2.04\n");
  EXPECT_EQ(session.dataMessages, 1);

  // END alone ends a program message, which may span several Data messages.
  session.Write("VOLT 1", false);
  session.Write("2;VOLT?");
  EXPECT_EQ(session.Read(), "+1.20000000E+01\n");

  // Pieces cut anywhere make one program message up to 64 KiB; a longer
  // one is dropped.
  std::string compound = "*CLS";
  while (compound.size() < 60 * 1024) compound += ";:VOLT 3";
  session.Write(compound.substr(0, 30 * 1024 + 3), false);
  session.Write(compound.substr(30 * 1024 + 3), false);
  session.Write(";:VOLT?");
  EXPECT_EQ(session.Read(), "+3.00000000E+00\n");
  session.Write(std::string(40 * 1024, 'V'), false);
  session.Write(std::string(40 * 1024, 'V') + ";*OPC?");
  EXPECT_EQ(session.Read(200ms), "<no reply>");
  EXPECT_EQ(session.Query("SYST:ERR?"), "-363,\"Input buffer overrun\"\n");

  // Replies come in pieces the client takes, whatever size it names.
  EXPECT_EQ(session.async.Ask(hs::kAsyncMaximumMessageSize, 0, 0, BigEndian(16 + 256, 8)).type,
            hs::kAsyncMaximumMessageSizeResponse);
  std::string queries = "FREQ?";
  for (int i = 0; i < 19; ++i) queries += ";FREQ?";
  const std::string reply = session.Query(queries);
  EXPECT_EQ(reply.size(), 20u * 16);
  EXPECT_EQ(reply.substr(0, 16), "+6.00000000E+01;");
  EXPECT_EQ(session.dataMessages, 2);  // a Data of 256 bytes, then the DataEnd
}

TEST_F(HislipServerTest, StatusQueryReportsMavUntilTheClientHasTheReply) {
  HislipSession session(port());
  session.Write("*CLS;*IDN?\n");
  EXPECT_EQ(session.StatusByte(), 0x10);  // the query was handled before the status was taken
  EXPECT_EQ(session.StatusByte(), 0x10);
  EXPECT_NE(session.Read(), "<no reply>");
  EXPECT_EQ(session.StatusByte(), 0);  // RMT-delivered

  // A new message while the reply is undelivered interrupts the query.
  session.Write("*IDN?\n");
  session.Write("*OPC?\n");
  EXPECT_EQ(session.Read(), "1\n");
  EXPECT_EQ(session.Query("SYST:ERR?"), "-410,\"Query INTERRUPTED\"\n");
}

TEST_F(HislipServerTest, DeviceClearDropsHalfAMessage) {
  HislipSession session(port());
  session.Write("VOLT 12", false);  // half a message
  ASSERT_TRUE(session.Clear());
  EXPECT_EQ(session.Query("VOLT?"), "+0.00000000E+00\n");  // IDs start over, so the reply is found
}

TEST_F(HislipServerTest, AnExclusiveLockHoldsOtherSessionsBack) {
  HislipSession owner(port());
  HislipSession other(port());
  EXPECT_EQ(owner.Lock(), 1);
  EXPECT_EQ(owner.Lock(), 1);  // already held
  EXPECT_EQ(other.Lock("", 50), 0);
  EXPECT_EQ(other.Lock("shared", 0), 0);
  const HislipMessage info = other.async.Ask(hs::kAsyncLockInfo, 0, 0);
  EXPECT_EQ(info.type, hs::kAsyncLockInfoResponse);
  EXPECT_EQ(info.control, 1);
  EXPECT_EQ(info.parameter, 1u);
  EXPECT_EQ(other.Unlock(), 3);  // holds none

  other.Write("VOLT 5;VOLT?\n");
  EXPECT_EQ(other.Read(200ms), "<no reply>");  // waits for the lock
  EXPECT_EQ(owner.Query("VOLT?"), "+0.00000000E+00\n");
  auto waiting = std::async(std::launch::async, [&] { return other.Lock("", 5000); });
  EXPECT_EQ(owner.Unlock(), 1);
  EXPECT_EQ(other.Read(), "+5.00000000E+00\n");
  EXPECT_EQ(waiting.get(), 1);
  EXPECT_EQ(other.Unlock(), 1);
}

TEST_F(HislipServerTest, SharedLocksAdmitTheSessionsThatShareThem) {
  HislipSession first(port());
  HislipSession second(port());
  HislipSession outsider(port());
  EXPECT_EQ(first.Lock("bench"), 1);
  EXPECT_EQ(second.Lock("bench"), 1);
  EXPECT_EQ(second.Lock("other"), 3);  // one shared lock a session
  EXPECT_EQ(outsider.Lock("other", 0), 0);
  EXPECT_EQ(outsider.Lock("", 0), 0);
  const HislipMessage info = outsider.async.Ask(hs::kAsyncLockInfo, 0, 0);
  EXPECT_EQ(info.control, 0);
  EXPECT_EQ(info.parameter, 2u);

  EXPECT_EQ(first.Query("VOLT 7;VOLT?"), "+7.00000000E+00\n");
  EXPECT_EQ(second.Query("VOLT?"), "+7.00000000E+00\n");
  outsider.Write("VOLT?\n");
  EXPECT_EQ(outsider.Read(100ms), "<no reply>");
  // A device clear gives up the message that waits.
  ASSERT_TRUE(outsider.Clear());
  EXPECT_EQ(first.Unlock(), 2);
  EXPECT_EQ(second.Unlock(), 2);
  EXPECT_EQ(outsider.Query("VOLT?"), "+7.00000000E+00\n");
  EXPECT_EQ(outsider.async.Ask(hs::kAsyncLock, 7, 0).type, hs::kError);  // neither request nor release
}

TEST_F(HislipServerTest, InputItCannotTakeGetsAnErrorAndTheSessionGoesOn) {
  HislipSession session(port());
  struct Case {
    bool onAsync;
    std::uint8_t type;
    std::uint8_t control;
    std::string payload;
    std::uint8_t errorCode;
  };
  const std::vector<Case> cases{
      {false, 50, 0, "", 1},                     // no such type
      {false, hs::kAsyncStatusQuery, 0, "", 1},  // the other channel's message
      {true, hs::kData, 0, "*IDN?\n", 1},
      {false, 200, 0, "vendor", 3},
      {true, hs::kAsyncRemoteLocalControl, 9, "", 2},
      {true, hs::kAsyncMaximumMessageSize, 0, "1234", 0},
      {false, hs::kDataEnd, 0, std::string(64 * 1024 + 17, 'x'), 4},
      {true, hs::kAsyncLock, 1, std::string(300, 'k'), 4},
  };
  for (const Case& c : cases) {
    HislipChannelClient& channel = c.onAsync ? session.async : session.sync;
    const HislipMessage error = channel.Ask(c.type, c.control, 0, c.payload);
    EXPECT_EQ(error.type, hs::kError) << int{c.type};
    EXPECT_EQ(error.control, c.errorCode) << int{c.type};
  }
  // A peer's own Error needs no answer.
  session.sync.Send(hs::kError, 0, 0, "client-side trouble");
  EXPECT_EQ(session.async.Ask(hs::kAsyncRemoteLocalControl, 1, 0).type, hs::kAsyncRemoteLocalResponse);
  EXPECT_EQ(session.Query("*OPC?"), "1\n");
}

TEST_F(HislipServerTest, BrokenConversationsEndWithAFatalError) {
  const auto fatal = [](HislipChannelClient& channel, std::uint8_t code) {
    const HislipMessage message = channel.Receive();
    EXPECT_EQ(message.type, hs::kFatalError);
    EXPECT_EQ(message.control, code);
    EXPECT_TRUE(channel.ClosedWithin(1000ms));
  };
  HislipChannelClient first(port());
  first.Send(hs::kDataEnd, 0, 0, "*IDN?\n");  // not initialized
  fatal(first, 3);

  HislipChannelClient wrongDevice(port());
  wrongDevice.Send(hs::kInitialize, 0, 0x01000000, "inst0");
  fatal(wrongDevice, 3);

  HislipChannelClient stranger(port());
  stranger.Send(hs::kAsyncInitialize, 0, 0xBEEF);
  fatal(stranger, 3);

  HislipChannelClient lonely(port());  // Data before the asynchronous channel
  EXPECT_EQ(lonely.Ask(hs::kInitialize, 0, 0x01000000, "hislip0").type, hs::kInitializeResponse);
  lonely.Send(hs::kDataEnd, 0, 0xFFFFFF00u, "*IDN?\n");
  fatal(lonely, 2);

  // A header without its prologue ends the session, both channels.
  HislipSession broken(port());
  broken.sync.SendRaw("XS" + std::string(14, '\0'));
  fatal(broken.sync, 1);
  EXPECT_TRUE(broken.async.ClosedWithin(1000ms));

  HislipSession twice(port());
  EXPECT_EQ(twice.async.Ask(hs::kAsyncInitialize, 0, twice.sessionId).type, hs::kFatalError);

  HislipSession random(port());
  std::mt19937 generator(7);
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>(generator());
  random.async.SendRaw(garbage);
  EXPECT_TRUE(random.sync.ClosedWithin(1000ms));

  EXPECT_EQ(HislipSession(port()).Query("*OPC?"), "1\n");
}

TEST_F(HislipServerTest, SessionsRunSideBySideUpToTheLimit) {
  std::vector<std::unique_ptr<HislipSession>> sessions;
  for (int i = 0; i < 16; ++i) sessions.push_back(std::make_unique<HislipSession>(port()));
  HislipChannelClient extra(port());
  const HislipMessage refused = extra.Ask(hs::kInitialize, 0, 0x01000000, "hislip0");
  EXPECT_EQ(refused.type, hs::kFatalError);
  EXPECT_EQ(refused.control, 4);

  std::vector<std::future<bool>> workers;
  for (int i = 0; i < 4; ++i) {
    workers.push_back(std::async(std::launch::async, [&session = *sessions[i]] {
      for (int round = 0; round < 50; ++round) {
        if (session.Query("FREQ?") != "+6.00000000E+01\n") return false;
      }
      return true;
    }));
  }
  for (auto& worker : workers) EXPECT_TRUE(worker.get());

  // A session that ends frees its place.
  sessions.pop_back();
  bool admitted = false;
  // The server frees the place once it has noticed the close, which a loaded
  // machine may delay.
  for (int attempt = 0; attempt < 100 && !admitted; ++attempt) {
    HislipChannelClient late(port());
    admitted = late.Ask(hs::kInitialize, 0, 0x01000000, "hislip0").type == hs::kInitializeResponse;
    if (!admitted) std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(admitted);
}

// The faults themselves reach the driver over HiSLIP in tests/faults.
TEST(HislipServerFaults, ALateReplyKeepsItsIdAndADeviceClearDropsIt) {
  zta_sim::Options options = HislipOptions();
  options.faults.lateDelay = 200ms;
  RunningEmulator emulator(options);
  HislipSession session(emulator.endpoints().hislipPort);
  emulator->ArmFault(FaultKind::Late);
  EXPECT_EQ(session.Query("FREQ?", 50ms), "<no reply>");
  EXPECT_EQ(session.Query("VOLT?"), "+0.00000000E+00\n");  // the late one carries its own request's ID
  emulator->ArmFault(FaultKind::Late);
  session.Write("FREQ?\n");
  ASSERT_TRUE(session.Clear());
  EXPECT_EQ(session.Query("*OPC?"), "1\n");
  EXPECT_EQ(session.sync.Receive(300ms).type, 0xFF);  // the held reply never comes
}

TEST(HislipServerStop, IsPromptWhileClientsStallWaitOrHoldReplies) {
  zta_sim::Options options = HislipOptions();
  options.faults.lateDelay = std::chrono::minutes(10);
  options.faults.faults.push_back({FaultKind::Late, 1, 0.0});
  auto emulator = std::make_unique<RunningEmulator>(options);
  const std::uint16_t port = emulator->endpoints().hislipPort;
  HislipSession held(port);
  held.Write("*OPC?\n");  // message 1: held back for ten minutes
  HislipSession owner(port);
  HislipSession locked(port);
  EXPECT_EQ(owner.Lock(), 1);
  locked.Write("*OPC?\n");                       // waits for the lock
  locked.async.Send(hs::kAsyncLock, 1, 600000);  // so does this lock request
  HislipChannelClient silent(port);              // never says a word
  EXPECT_EQ(held.Read(100ms), "<no reply>");

  auto stopped = std::async(std::launch::async, [&] { emulator.reset(); });
  EXPECT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(silent.ClosedWithin(1000ms));
  EXPECT_TRUE(locked.async.ClosedWithin(1000ms));
}

}  // namespace
}  // namespace sim_test
