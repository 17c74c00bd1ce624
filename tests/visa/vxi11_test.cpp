// The VXI-11 client against a scripted VXI-11 device on loopback: what it
// puts on the wire, and what a broken device does to the session.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "builtin_visa_test.h"
#include "vxi11_peer.h"

namespace hvzelta::visa {
namespace {

using testing::Vxi11Peer;

using Vxi11Test = testing::BuiltinVisaTest;

std::string NameOf(Vxi11Peer& peer) { return "TCPIP::127.0.0.1," + std::to_string(peer.CorePort()) + "::inst0::INSTR"; }

TEST_F(Vxi11Test, PortmapperLookupAndTheTerminationCharacterOnlyWhenAsked) {
  Vxi11Peer peer([](const std::string&) { return std::string("a\nb\n"); });
  ::setenv("HVZELTA_PORTMAPPER_PORT", std::to_string(peer.PortmapperPort()).c_str(), 1);
  const ViSession vi = Open("TCPIP0::127.0.0.1::INSTR");
  ::unsetenv("HVZELTA_PORTMAPPER_PORT");
  EXPECT_EQ(peer.Snapshot().device, "inst0");
  ViUInt16 port = 0;
  EXPECT_EQ(visa_.GetAttribute(vi, VI_ATTR_TCPIP_PORT, &port), VI_SUCCESS);
  EXPECT_EQ(port, peer.CorePort());

  // A read cut by its count works against the emulator (tests/visa_emulator).
  ASSERT_EQ(WriteText(vi, "LINES?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi), Reply(VI_SUCCESS, "a\nb\n")) << "no termination character: the line feeds are data";
  visa_.SetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE);
  ASSERT_EQ(WriteText(vi, "LINES?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi), Reply(VI_SUCCESS_TERM_CHAR, "a\n"));
  EXPECT_EQ(Read(vi), Reply(VI_SUCCESS, "b\n"));
  EXPECT_EQ(peer.Snapshot().readTimeouts.front(), 2000u) << "the device is told the session timeout";
}

// Writes are cut to the device's maximum receive size, with END on the last
// piece; of the locks only the exclusive one reaches the device.
TEST_F(Vxi11Test, WritesLocksAndTheCloseOnTheWire) {
  Vxi11Peer peer([](const std::string&) { return std::string(); }, 1024);
  const ViSession vi = Open(NameOf(peer));
  const std::string big(3000, 'z');
  ASSERT_EQ(WriteText(vi, big), VI_SUCCESS);
  visa_.SetAttribute(vi, VI_ATTR_SEND_END_EN, VI_FALSE);
  ASSERT_EQ(WriteText(vi, "open"), VI_SUCCESS);
  EXPECT_EQ(visa_.Lock(vi, VI_EXCLUSIVE_LOCK, 500, nullptr, nullptr), VI_SUCCESS);
  EXPECT_EQ(visa_.Unlock(vi), VI_SUCCESS);
  char key[VI_FIND_BUFLEN];
  EXPECT_EQ(visa_.Lock(vi, VI_SHARED_LOCK, 500, nullptr, key), VI_SUCCESS);
  EXPECT_EQ(visa_.Unlock(vi), VI_SUCCESS);
  EXPECT_EQ(visa_.Close(vi), VI_SUCCESS);
  auto seen = peer.Snapshot();
  EXPECT_EQ(seen.messages, std::vector<std::string>{big});
  EXPECT_EQ(seen.writeFlags, (std::vector<std::uint32_t>{0, 0, 8, 0}));
  EXPECT_EQ(std::tie(seen.locks, seen.unlocks, seen.destroyedLinks), std::make_tuple(1, 1, 1));
}

TEST_F(Vxi11Test, GarbageEndsTheSessionAndARefusedLinkIsNotFound) {
  Vxi11Peer peer([](const std::string&) { return std::string(Vxi11Peer::kGarbage); });
  const ViSession vi = Open(NameOf(peer));
  WriteText(vi, "Q?\n");
  EXPECT_EQ(Read(vi).first, VI_ERROR_IO);
  EXPECT_EQ(Read(vi).first, VI_ERROR_CONN_LOST);
  EXPECT_EQ(visa_.Close(vi), VI_SUCCESS);

  Vxi11Peer refusing([](const std::string&) { return std::string(); }, 1024, 3);
  Open(NameOf(refusing), VI_ERROR_RSRC_NFOUND);
}

}  // namespace
}  // namespace hvzelta::visa
