// The serial transport on a pseudo-terminal: the test holds the master
// side and plays the instrument.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "builtin_visa_test.h"

namespace hvzelta::visa {
namespace {

class SerialTest : public testing::BuiltinVisaTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(::openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    BuiltinVisaTest::SetUp();
    std::string name = std::string("ASRL") + ::ttyname(slave_) + "::INSTR";
    ASSERT_EQ(visa_.Open(rm_, name.c_str(), VI_NO_LOCK, 2000, &vi_), VI_SUCCESS);
    visa_.SetAttribute(vi_, VI_ATTR_TMO_VALUE, 500);
  }
  void TearDown() override {
    BuiltinVisaTest::TearDown();
    if (master_ >= 0) ::close(master_);
    ::close(slave_);
  }

  void InstrumentSends(std::string_view bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  std::string InstrumentReceives(std::size_t size) {
    std::string bytes;
    while (bytes.size() < size) {
      pollfd waiter{master_, POLLIN, 0};
      if (::poll(&waiter, 1, 2000) <= 0) break;
      char chunk[256];
      ssize_t got = ::read(master_, chunk, std::min(sizeof chunk, size - bytes.size()));
      if (got <= 0) break;
      bytes.append(chunk, std::size_t(got));
    }
    return bytes;
  }

  int master_ = -1;
  int slave_ = -1;
  ViSession vi_ = VI_NULL;
};

TEST_F(SerialTest, LineSettingsReachTheTerminal) {
  ASSERT_EQ(WriteText(vi_, "*RST"), VI_SUCCESS);
  EXPECT_EQ(InstrumentReceives(4), "*RST");
  ASSERT_EQ(visa_.SetAttribute(vi_, VI_ATTR_ASRL_END_OUT, VI_ASRL_END_TERMCHAR), VI_SUCCESS);
  ASSERT_EQ(WriteText(vi_, "*CLS"), VI_SUCCESS);
  EXPECT_EQ(InstrumentReceives(5), "*CLS\n") << "end on output appends the termination character";
  EXPECT_EQ(visa_.SetAttribute(vi_, VI_ATTR_ASRL_BAUD, 19200), VI_SUCCESS);
  EXPECT_EQ(visa_.SetAttribute(vi_, VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_TWO), VI_SUCCESS);
  EXPECT_EQ(visa_.SetAttribute(vi_, VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_RTS_CTS), VI_SUCCESS);
  termios settings{};
  ASSERT_EQ(::tcgetattr(slave_, &settings), 0);
  EXPECT_EQ(::cfgetospeed(&settings), speed_t{B19200});
  EXPECT_TRUE(settings.c_cflag & CSTOPB);
  EXPECT_TRUE(settings.c_cflag & CRTSCTS);
  // A pseudo-terminal refuses parity and has no modem lines: the attributes
  // keep their old values, and a line's state is unknown.
  EXPECT_EQ(visa_.SetAttribute(vi_, VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_EVEN), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(visa_.SetAttribute(vi_, VI_ATTR_ASRL_DTR_STATE, VI_STATE_ASSERTED), VI_ERROR_NSUP_ATTR_STATE);
  ViInt16 line = 0;
  EXPECT_EQ(visa_.GetAttribute(vi_, VI_ATTR_ASRL_CTS_STATE, &line), VI_SUCCESS);
  EXPECT_EQ(line, VI_STATE_UNKNOWN);
  ViUInt16 parity = 99;
  EXPECT_EQ(visa_.GetAttribute(vi_, VI_ATTR_ASRL_PARITY, &parity), VI_SUCCESS);
  EXPECT_EQ(parity, VI_ASRL_PAR_NONE);
  EXPECT_EQ(visa_.SetAttribute(vi_, VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_NONE), VI_SUCCESS);

  EXPECT_EQ(visa_.SetAttribute(vi_, VI_ATTR_ASRL_BAUD, 12345), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(visa_.SetAttribute(vi_, VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_ONE5), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(visa_.SetAttribute(vi_, VI_ATTR_ASRL_DATA_BITS, 9), VI_ERROR_NSUP_ATTR_STATE);
  ViUInt32 baud = 0;
  EXPECT_EQ(visa_.GetAttribute(vi_, VI_ATTR_ASRL_BAUD, &baud), VI_SUCCESS);
  EXPECT_EQ(baud, 19200u);

  InstrumentSends("abc");
  ::usleep(20000);
  ViUInt32 waiting = 0;
  EXPECT_EQ(visa_.GetAttribute(vi_, VI_ATTR_ASRL_AVAIL_NUM, &waiting), VI_SUCCESS);
  EXPECT_EQ(waiting, 3u);
  EXPECT_EQ(visa_.Flush(vi_, VI_IO_IN_BUF_DISCARD), VI_SUCCESS);
  EXPECT_EQ(Read(vi_), Reply(VI_ERROR_TMO, ""));
}

TEST_F(SerialTest, AHangUpIsAConnectionLossAndMissingPortsAreNotFound) {
  ::close(master_);
  master_ = -1;
  EXPECT_EQ(Read(vi_).first, VI_ERROR_CONN_LOST);
  EXPECT_EQ(visa_.Close(vi_), VI_SUCCESS);

  ViSession other = VI_NULL;
  EXPECT_EQ(visa_.Open(rm_, "ASRL/dev/hvzelta-no-such-port::INSTR", VI_NO_LOCK, 500, &other), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(visa_.Open(rm_, "ASRL/dev/null::INSTR", VI_NO_LOCK, 500, &other), VI_ERROR_RSRC_NFOUND);
}

}  // namespace
}  // namespace hvzelta::visa
