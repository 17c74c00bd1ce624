// Instruments that misbehave, seen from the I/O session over a socket (the
// whole driver's fault table has every transport times every fault): the
// lost connection's message and speed, replies no format can read, a late
// reply that is already waiting, and a device that never ends its reply.

#include <gtest/gtest.h>

#include <chrono>

#include "hvzelta/status.h"
#include "io/session_harness.h"
#include "io/visa_com_session.h"
#include "visa/builtin_visa.h"
#include "visa/loopback_peer.h"
#include "zta_sim/emulator.h"

namespace hvzelta {
namespace {

using namespace std::chrono_literals;
using testing::LastError;
using Clock = std::chrono::steady_clock;
using zta_sim::FaultKind;

constexpr std::int32_t kShortTimeoutMs = 250;
// What a failing call may take beyond its timeout on a loaded machine.
constexpr auto kMargin = 750ms;

// The emulator's raw socket; the fault suite (tests/faults) runs every
// transport through the C interface.
class FaultTest : public ::testing::Test {
 protected:
  void Start() {
    emulator_ = std::make_unique<zta_sim::Emulator>(zta_sim::Options{});
    resource_ = "TCPIP::127.0.0.1::" + std::to_string(emulator_->Start().socketPort) + "::SOCKET";
    Reopen();
  }
  void Reopen() {
    session_.Close();
    ASSERT_EQ(harness_.Open(session_, resource_), S_OK) << LastError();
    ASSERT_EQ(session_.Printf("VOLT 100;:FREQ 60\n"), S_OK);
    // A fault armed later strikes the next message the emulator takes, so
    // the settings must have arrived by then.
    ASSERT_EQ(Query("FREQ?"), 60.0);
  }

  double Query(std::string_view command, HRESULT expected = S_OK) {
    double value = 0;
    EXPECT_EQ(session_.QueryReal(command, value, kShortTimeoutMs), expected) << command << ": " << LastError();
    return value;
  }

  std::unique_ptr<zta_sim::Emulator> emulator_;
  std::string resource_;
  testing::SessionHarness harness_;
  CVisaComSession session_{visa::BuiltinVisaLibrary()};
};

TEST_F(FaultTest, DroppedConnectionIsAnIoErrorUntilTheSessionIsOpenedAgain) {
  Start();
  emulator_->ArmFault(FaultKind::Drop);
  Query("VOLT?", E_HALVORNZELTA_IO_GENERAL);
  EXPECT_NE(LastError().find("VI_ERROR_CONN_LOST"), std::string::npos) << LastError();
  const auto start = Clock::now();
  Query("VOLT?", E_HALVORNZELTA_IO_GENERAL);
  EXPECT_LT(Clock::now() - start, kMargin) << "a lost connection fails at once";
  Reopen();
  EXPECT_EQ(Query("VOLT?"), 100.0);
}

TEST_F(FaultTest, MalformedRepliesGiveFormattedReadErrorsAndLeaveNothingBehind) {
  Start();
  // A number of a mebibyte of digits is no number.
  emulator_->ArmFault(FaultKind::Oversize);
  Query("VOLT?", E_UNEXPECTED);
  EXPECT_EQ(Query("FREQ?"), 60.0) << "the rest of the oversize reply was drained";

  emulator_->ArmFault(FaultKind::Garbage);
  Query("VOLT?", E_UNEXPECTED);
  EXPECT_EQ(Query("FREQ?"), 60.0);

  // Half a reply, and a block shorter than its header says, never end.
  emulator_->ArmFault(FaultKind::Truncate);
  Query("VOLT?", E_HALVORNZELTA_IO_TIMEOUT);
  emulator_->ArmFault(FaultKind::ShortBlock);
  std::uint8_t block[2048];
  std::int32_t count = 0;
  EXPECT_EQ(session_.QueryBlock<std::uint8_t>("VOLT?", block, count, kShortTimeoutMs), E_HALVORNZELTA_IO_TIMEOUT);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(Query("FREQ?"), 60.0);
}

// A device that answers any line with digits and commas that never end.
class EndlessDevice {
 public:
  EndlessDevice()
      : peer_([](visa::testing::LoopbackPeer& peer) {
          const int connection = peer.Accept();
          if (connection < 0 || visa::testing::ReceiveLine(connection).empty()) return;
          const std::string chunk(64 * 1024, '7');
          while (visa::testing::SendBytes(connection, chunk)) {
          }
        }) {}
  std::string Resource() const { return "TCPIP::127.0.0.1::" + std::to_string(peer_.Port()) + "::SOCKET"; }

 private:
  visa::testing::LoopbackPeer peer_;
};

TEST(EndlessReply, IsGivenUpAtTheResponseLimitByEveryRead) {
  constexpr std::size_t kLimit = 1 << 20;
  const std::string limitReached = "HalvornZelta: I/O error: The instrument's response did not end within 1048576 "
                                   "bytes; the rest of it is dropped.";
  const std::vector<std::function<HRESULT(IIoSession&)>> reads{
      [](IIoSession& io) {
        std::string text;
        return io.QueryText("DATA?", text);
      },
      [](IIoSession& io) {
        std::string text;
        HRESULT hr = io.WriteString("DATA?", true, kKeepTimeout);
        return Succeeded(hr) ? io.ReadString(text, kKeepTimeout) : hr;
      },
      [](IIoSession& io) {
        HRESULT hr = io.Queryf("DATA?", "%*1c");
        return Succeeded(hr) ? io.FlushRead(kKeepTimeout) : hr;
      },
      [](IIoSession& io) {
        std::vector<std::uint8_t> bytes;
        HRESULT hr = io.DirectWriteString("DATA?\n");
        return Succeeded(hr) ? io.DirectReadBytes(bytes) : hr;
      },
  };
  for (std::size_t i = 0; i < reads.size(); ++i) {
    EndlessDevice device;
    testing::SessionHarness harness;
    CVisaComSession session(visa::BuiltinVisaLibrary(), kLimit);
    ASSERT_EQ(harness.Open(session, device.Resource()), S_OK) << LastError();
    EXPECT_EQ(reads[i](session), E_HALVORNZELTA_IO_GENERAL) << i;
    EXPECT_EQ(LastError(), limitReached) << i;
    EXPECT_EQ(session.Close(), S_OK);
  }
}

}  // namespace
}  // namespace hvzelta
