// The HiSLIP client against a scripted HiSLIP server on loopback: what it
// puts on the wire, and what a broken server does to the session. How reads
// end is in message_reader_test; late and dropped replies are in tests/faults.

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "builtin_visa_test.h"
#include "hislip_peer.h"

namespace hvzelta::visa {
namespace {

using testing::HislipPeer;

using HislipTest = testing::BuiltinVisaTest;

std::string NameOf(HislipPeer& peer) { return "TCPIP::127.0.0.1::hislip0," + std::to_string(peer.Port()) + "::INSTR"; }

// The exchanges themselves work against the emulator (tests/visa_emulator);
// the peer sees the message IDs, delivery flags, clears, triggers and lock
// requests on the wire, and a reply in a Data and a DataEnd message.
TEST_F(HislipTest, MessageIdsAndRequestsOnTheWire) {
  HislipPeer peer([](const std::string&, std::uint32_t id) {
    return HislipPeer::Frame(6, 0, id, "partial ") + HislipPeer::DataEnd(id, "reply\n");
  });
  const ViSession vi = Open(NameOf(peer));
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(WriteText(vi, "Q?\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi), Reply(VI_SUCCESS, "partial reply\n"));
  }
  WriteText(vi, "Q?\n");
  EXPECT_EQ(Read(vi, 4).first, VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(visa_.Clear(vi), VI_SUCCESS);
  EXPECT_EQ(visa_.AssertTrigger(vi, VI_TRIG_PROT_DEFAULT), VI_SUCCESS);
  // After the clear, message IDs start over and the old reply is gone.
  WriteText(vi, "Q?\n");
  EXPECT_EQ(Read(vi), Reply(VI_SUCCESS, "partial reply\n"));

  char key[VI_FIND_BUFLEN] = {};
  EXPECT_EQ(visa_.Lock(vi, VI_SHARED_LOCK, 1000, "bench-7", key), VI_SUCCESS);
  EXPECT_STREQ(key, "bench-7");
  EXPECT_EQ(visa_.Unlock(vi), VI_SUCCESS);

  auto seen = peer.Snapshot();
  // The trigger took 0xFFFFFF00 after the clear.
  EXPECT_EQ(seen.messageIds, (std::vector<std::uint32_t>{0xFFFFFF00u, 0xFFFFFF02u, 0xFFFFFF04u, 0xFFFFFF02u}));
  // The client says it delivered the previous reply when it sends the next.
  EXPECT_EQ(seen.rmtDelivered, (std::vector<bool>{false, true, true, false}));
  EXPECT_EQ(std::tie(seen.clears, seen.triggers, seen.lockReleases), std::make_tuple(1, 1, 1));
  EXPECT_EQ(seen.lockRequests, (std::vector<std::string>{"bench-7"}));
}

TEST_F(HislipTest, WritesAreCutToTheServersMaximumMessageSize) {
  HislipPeer peer(
      [](const std::string& text, std::uint32_t id) {
        return text == "part one part two\n" ? HislipPeer::DataEnd(id, "ok\n") : std::string();
      },
      64);
  const ViSession vi = Open(NameOf(peer));
  const std::string big(1000, 'x');
  ASSERT_EQ(WriteText(vi, big + "\n"), VI_SUCCESS);
  // Without END the message stays open on the server.
  visa_.SetAttribute(vi, VI_ATTR_SEND_END_EN, VI_FALSE);
  ASSERT_EQ(WriteText(vi, "part one "), VI_SUCCESS);
  visa_.SetAttribute(vi, VI_ATTR_SEND_END_EN, VI_TRUE);
  ASSERT_EQ(WriteText(vi, "part two\n"), VI_SUCCESS);
  ASSERT_EQ(Read(vi).first, VI_SUCCESS);  // the server has seen everything before it answered
  auto seen = peer.Snapshot();
  EXPECT_EQ(seen.messages, (std::vector<std::string>{big + "\n", "part one part two\n"}));
  EXPECT_EQ(seen.dataChunks, 1001 / 48 + 1 + 2);
}

std::string BrokenServer(const std::string& text, std::uint32_t id) {
  if (text == "ERROR\n") return HislipPeer::Frame(3, 1, 0, "unrecognized");
  if (text == "FATAL\n") return HislipPeer::Frame(2, 0, 0, "server gave up");
  if (text == "GARBAGE\n") return std::string(16, 'G');
  std::string reply = HislipPeer::DataEnd(id, text == "HUGE\n" ? "" : "ok\n");
  if (text == "HUGE\n") reply[reply.size() - 8] = 0x40;  // 2^62 bytes announced, none sent
  return reply;
}

// A server error fails one read; a fatal error, garbage or an impossible
// length ends the session; a server that turns the session away is not found.
TEST_F(HislipTest, WhatABrokenServerDoesToTheSession) {
  for (const auto& [command, status] : {std::pair{"ERROR\n", VI_ERROR_IO},
                                        {"FATAL\n", VI_ERROR_CONN_LOST},
                                        {"GARBAGE\n", VI_ERROR_IO},
                                        {"HUGE\n", VI_ERROR_CONN_LOST}}) {
    SCOPED_TRACE(command);
    HislipPeer peer(BrokenServer);
    const ViSession vi = Open(NameOf(peer));
    WriteText(vi, command);
    EXPECT_EQ(Read(vi).first, status);
    if (command == std::string("ERROR\n")) {
      WriteText(vi, "PING\n");
      EXPECT_EQ(Read(vi), Reply(VI_SUCCESS, "ok\n"));
    } else {
      EXPECT_EQ(Read(vi).first, VI_ERROR_CONN_LOST);
      EXPECT_EQ(WriteText(vi, "PING\n"), VI_ERROR_CONN_LOST);
    }
    EXPECT_EQ(visa_.Close(vi), VI_SUCCESS);
  }
  HislipPeer refusing([](const std::string&, std::uint32_t) { return std::string(); }, 1 << 20, true);
  Open(NameOf(refusing), VI_ERROR_RSRC_NFOUND);
}

}  // namespace
}  // namespace hvzelta::visa
