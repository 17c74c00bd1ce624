// A device that never ends its reply, seen from the I/O session over a
// socket: every read gives up at the response limit. The faults of a
// well-formed instrument are in tests/faults, over every transport.

#include <gtest/gtest.h>

#include <functional>

#include "hvzelta/status.h"
#include "io/session_harness.h"
#include "io/visa_com_session.h"
#include "visa/builtin_visa.h"
#include "visa/loopback_peer.h"

namespace hvzelta {
namespace {

using testing::LastError;

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
