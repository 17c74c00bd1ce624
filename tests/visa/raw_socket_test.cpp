// The built-in library over the raw socket transport, against scripted
// peers on loopback: connection loss, handles, attributes, locks and
// threads. How reads end is in message_reader_test; late and doubled
// replies are in tests/faults.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "builtin_visa_test.h"
#include "loopback_peer.h"

namespace hvzelta::visa {
namespace {

using testing::LoopbackPeer;

std::string SocketName(std::uint16_t port) { return "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET"; }

using RawSocketTest = testing::BuiltinVisaTest;

// The transport reads ahead of what a read asks for; what it holds of a
// reply the caller stopped reading must go with the next command.
TEST_F(RawSocketTest, WhatAReadLeavesOfItsReplyNeverAnswersTheNextCommand) {
  LoopbackPeer peer([](LoopbackPeer& p) {
    int fd = p.Accept();
    if (testing::ReceiveLine(fd) != "long?\n") return;
    testing::SendBytes(fd, "rest of a long reply\n");
    if (testing::ReceiveLine(fd) != "short?\n") return;
    testing::SendBytes(fd, "short\n");
    testing::ReceiveLine(fd);
  });
  ViSession vi = Open(SocketName(peer.Port()));
  visa_.SetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE);
  WriteText(vi, "long?\n");
  EXPECT_EQ(Read(vi, 4), Reply(VI_SUCCESS_MAX_CNT, "rest"));
  WriteText(vi, "short?\n");
  EXPECT_EQ(Read(vi), Reply(VI_SUCCESS_TERM_CHAR, "short\n"));
  WriteText(vi, "bye\n");
  EXPECT_EQ(visa_.Close(vi), VI_SUCCESS);
}

TEST_F(RawSocketTest, ConnectionLossIsReportedAndTheResourceCanBeOpenedAgain) {
  LoopbackPeer peer([](LoopbackPeer& p) {
    int first = p.Accept();
    testing::ReceiveLine(first);
    testing::SendBytes(first, "par");
    ::shutdown(first, SHUT_RDWR);
    int second = p.Accept();
    testing::ReceiveLine(second);
    testing::SendBytes(second, "ok\n");
  });
  ViSession vi = Open(SocketName(peer.Port()));
  visa_.SetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE);
  WriteText(vi, "q?\n");
  EXPECT_EQ(Read(vi), Reply(VI_ERROR_CONN_LOST, "par"));
  EXPECT_EQ(Read(vi).first, VI_ERROR_CONN_LOST);
  EXPECT_EQ(WriteText(vi, "q?\n"), VI_ERROR_CONN_LOST) << "the very next write fails too";
  EXPECT_EQ(visa_.Close(vi), VI_SUCCESS);

  ViSession again = Open(SocketName(peer.Port()));
  visa_.SetAttribute(again, VI_ATTR_TERMCHAR_EN, VI_TRUE);
  WriteText(again, "q?\n");
  EXPECT_EQ(Read(again), Reply(VI_SUCCESS_TERM_CHAR, "ok\n"));
  EXPECT_NE(again, vi);
}

TEST_F(RawSocketTest, OpenFailuresNameTheirCause) {
  ViSession vi = 12345;
  EXPECT_EQ(visa_.Open(rm_, "TCPIP::127.0.0.1::SOCKET", VI_NO_LOCK, 500, &vi), VI_ERROR_INV_RSRC_NAME);
  EXPECT_EQ(vi, VI_NULL);
  EXPECT_EQ(visa_.Open(rm_, SocketName(testing::ClosedPort()).c_str(), VI_NO_LOCK, 2000, &vi), VI_ERROR_RSRC_NFOUND);
  // A name that does not resolve fails within the open timeout.
  EXPECT_EQ(visa_.Open(rm_, "TCPIP::no-such-host.invalid::5025::SOCKET", VI_NO_LOCK, 300, &vi), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(visa_.Open(rm_, "GPIB0::5::INSTR", VI_NO_LOCK, 300, &vi), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(visa_.Open(rm_, SocketName(1).c_str(), VI_SHARED_LOCK, 300, &vi), VI_ERROR_INV_ACC_MODE);
}

// Unknown and closed handles are refused by every exported function
// (tests/visa_library).
TEST_F(RawSocketTest, HandlesAreNeverReusedAndTheResourceManagerClosesItsSessions) {
  LoopbackPeer peer([](LoopbackPeer& p) {
    p.Accept();
    p.Accept();
  });
  ViSession first = Open(SocketName(peer.Port()));
  ASSERT_EQ(visa_.Close(first), VI_SUCCESS);
  ViSession second = Open(SocketName(peer.Port()));
  EXPECT_NE(first, second);
  EXPECT_EQ(visa_.Close(rm_), VI_SUCCESS);
  ViByte byte = 0;
  ViUInt32 count = 0;
  EXPECT_EQ(visa_.Read(second, &byte, 1, &count), VI_ERROR_INV_OBJECT);
  ASSERT_EQ(visa_.OpenDefaultRM(&rm_), VI_SUCCESS);
}

TEST_F(RawSocketTest, AttributesAndOperationsASocketRefuses) {
  LoopbackPeer peer([](LoopbackPeer& p) { p.Accept(); });
  ViSession vi = Open(SocketName(peer.Port()));
  ViBoolean flag = 7;
  EXPECT_EQ(visa_.SetAttribute(vi, VI_ATTR_TERMCHAR, 0x100), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(visa_.SetAttribute(vi, VI_ATTR_TERMCHAR_EN, 2), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(visa_.SetAttribute(vi, VI_ATTR_INTF_TYPE, 1), VI_ERROR_ATTR_READONLY);
  EXPECT_EQ(visa_.SetAttribute(vi, VI_ATTR_ASRL_BAUD, 9600), VI_ERROR_NSUP_ATTR);
  EXPECT_EQ(visa_.SetAttribute(vi, VI_ATTR_TCPIP_KEEPALIVE, VI_TRUE), VI_SUCCESS);
  EXPECT_EQ(visa_.GetAttribute(vi, VI_ATTR_TCPIP_KEEPALIVE, &flag), VI_SUCCESS);
  EXPECT_EQ(flag, VI_TRUE);

  ViUInt16 stb = 0;
  EXPECT_EQ(visa_.ReadSTB(vi, &stb), VI_ERROR_NSUP_OPER);
  EXPECT_EQ(visa_.AssertTrigger(vi, VI_TRIG_PROT_DEFAULT), VI_ERROR_NSUP_OPER);
  EXPECT_EQ(visa_.Flush(vi, VI_READ_BUF | VI_READ_BUF_DISCARD), VI_ERROR_INV_MASK);
  EXPECT_EQ(visa_.Flush(vi, VI_IO_IN_BUF_DISCARD), VI_SUCCESS);

  char description[VI_FIND_BUFLEN];
  EXPECT_EQ(visa_.StatusDesc(vi, 0x12345, description), VI_WARN_UNKNOWN_STATUS);
  ViUInt16 type = 0, number = 0;
  EXPECT_EQ(visa_.ParseRsrc(rm_, "ASRL3::INSTR", &type, &number), VI_SUCCESS);
  EXPECT_EQ(type, VI_INTF_ASRL);
  EXPECT_EQ(number, 3);
  EXPECT_EQ(visa_.ParseRsrc(rm_, "nonsense", &type, &number), VI_ERROR_INV_RSRC_NAME);
}

TEST_F(RawSocketTest, LocksKeepOtherSessionsOut) {
  LoopbackPeer peer([](LoopbackPeer& p) {
    for (int i = 0; i < 4; ++i) p.Accept();
  });
  ViSession a = Open(SocketName(peer.Port()));
  ViSession b = Open(SocketName(peer.Port()));
  ViSession c = Open(SocketName(peer.Port()));
  EXPECT_EQ(visa_.Unlock(a), VI_ERROR_SESN_NLOCKED);
  EXPECT_EQ(visa_.Lock(a, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_SUCCESS);
  EXPECT_EQ(visa_.Lock(a, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_SUCCESS_NESTED_EXCLUSIVE);
  EXPECT_EQ(WriteText(b, "x\n"), VI_ERROR_RSRC_LOCKED);
  ViUInt32 state = 0;
  EXPECT_EQ(visa_.GetAttribute(b, VI_ATTR_RSRC_LOCK_STATE, &state), VI_SUCCESS);
  EXPECT_EQ(state, VI_EXCLUSIVE_LOCK);
  EXPECT_EQ(visa_.Lock(b, VI_EXCLUSIVE_LOCK, 50, nullptr, nullptr), VI_ERROR_TMO);

  // A waiting lock is granted once the holder lets go.
  std::thread waiter([&] { EXPECT_EQ(visa_.Lock(b, VI_EXCLUSIVE_LOCK, 5000, nullptr, nullptr), VI_SUCCESS); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(visa_.Unlock(a), VI_SUCCESS_NESTED_EXCLUSIVE);
  EXPECT_EQ(visa_.Unlock(a), VI_SUCCESS);
  waiter.join();
  EXPECT_EQ(WriteText(a, "x\n"), VI_ERROR_RSRC_LOCKED);
  EXPECT_EQ(visa_.Close(b), VI_SUCCESS);  // closing releases the lock
  EXPECT_EQ(WriteText(a, "x\n"), VI_SUCCESS);

  // Shared locks admit the sessions that hold the key.
  char key[VI_FIND_BUFLEN] = {};
  EXPECT_EQ(visa_.Lock(a, VI_SHARED_LOCK, 0, nullptr, key), VI_SUCCESS);
  EXPECT_NE(key[0], '\0');
  EXPECT_EQ(WriteText(c, "x\n"), VI_ERROR_RSRC_LOCKED);
  char other[VI_FIND_BUFLEN] = {};
  EXPECT_EQ(visa_.Lock(c, VI_SHARED_LOCK, 0, "wrong key", other), VI_ERROR_RSRC_LOCKED);
  EXPECT_EQ(visa_.Lock(c, VI_SHARED_LOCK, 0, key, other), VI_SUCCESS);
  EXPECT_STREQ(other, key);
  EXPECT_EQ(WriteText(c, "x\n"), VI_SUCCESS);
  EXPECT_EQ(visa_.Lock(a, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_ERROR_RSRC_LOCKED);
  EXPECT_EQ(visa_.Lock(a, 3, 0, nullptr, nullptr), VI_ERROR_INV_LOCK_TYPE);

  // An open may take the exclusive lock with it.
  EXPECT_EQ(visa_.Unlock(a), VI_SUCCESS);
  EXPECT_EQ(visa_.Unlock(c), VI_SUCCESS);
  ViSession d = VI_NULL;
  EXPECT_EQ(visa_.Open(rm_, SocketName(peer.Port()).c_str(), VI_EXCLUSIVE_LOCK, 2000, &d), VI_SUCCESS);
  EXPECT_EQ(WriteText(a, "x\n"), VI_ERROR_RSRC_LOCKED);
}

TEST_F(RawSocketTest, ConcurrentWritersOnOneSessionNeverInterleave) {
  constexpr int kThreads = 4;
  constexpr int kMessages = 50;
  std::vector<std::string> lines;
  LoopbackPeer peer([&](LoopbackPeer& p) {
    int fd = p.Accept();
    for (int i = 0; i < kThreads * kMessages; ++i) {
      std::string line = testing::ReceiveLine(fd);
      if (line.empty()) return;
      lines.push_back(line);
    }
  });
  ViSession vi = Open(SocketName(peer.Port()));
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      const std::string message = "thread " + std::to_string(t) + " " + std::string(3000, char('a' + t)) + "\n";
      for (int i = 0; i < kMessages; ++i) EXPECT_EQ(WriteText(vi, message), VI_SUCCESS);
    });
  }
  for (auto& writer : writers) writer.join();
  peer.Join();
  ASSERT_EQ(lines.size(), size_t{kThreads * kMessages});
  for (const auto& line : lines) {
    ASSERT_GT(line.size(), 10u);
    char fill = line[line.size() - 2];
    EXPECT_EQ(line.find_first_not_of(fill, 9), line.size() - 1) << line.substr(0, 12);
  }
}

}  // namespace
}  // namespace hvzelta::visa
