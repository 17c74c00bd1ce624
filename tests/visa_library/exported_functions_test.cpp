// The exported VISA functions given what a careless or hostile caller gives:
// unknown and closed sessions, null pointers, huge counts, formats and
// patterns the library does not take. Every call returns a status; none
// crashes or hangs. The ordinary exchanges are PyVISA's (pyvisa_client_test.py).

#include <gtest/gtest.h>
#include <visa.h>

#include <functional>
#include <string>
#include <vector>

#include "zta_sim/emulator.h"

namespace {

struct Call {
  const char* name;
  std::function<ViStatus(ViSession)> run;
};

// Every session-taking function, with arguments that would be valid for an
// instrument session.
std::vector<Call> SessionCalls() {
  static ViByte buffer[64];
  static ViChar text[256];
  static ViUInt32 count;
  static ViUInt16 word;
  return {
      {"viClose", [](ViSession vi) { return viClose(vi); }},
      {"viRead", [](ViSession vi) { return viRead(vi, buffer, sizeof buffer, &count); }},
      {"viWrite", [](ViSession vi) { return viWrite(vi, buffer, 1, &count); }},
      {"viReadSTB", [](ViSession vi) { return viReadSTB(vi, &word); }},
      {"viClear", [](ViSession vi) { return viClear(vi); }},
      {"viAssertTrigger", [](ViSession vi) { return viAssertTrigger(vi, VI_TRIG_PROT_DEFAULT); }},
      {"viFlush", [](ViSession vi) { return viFlush(vi, VI_READ_BUF); }},
      {"viSetBuf", [](ViSession vi) { return viSetBuf(vi, VI_READ_BUF, 4096); }},
      {"viLock", [](ViSession vi) { return viLock(vi, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL); }},
      {"viUnlock", [](ViSession vi) { return viUnlock(vi); }},
      {"viGetAttribute", [](ViSession vi) { return viGetAttribute(vi, VI_ATTR_TMO_VALUE, &count); }},
      {"viSetAttribute", [](ViSession vi) { return viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100); }},
      {"viStatusDesc", [](ViSession vi) { return viStatusDesc(vi, VI_ERROR_TMO, text); }},
      {"viPrintf", [](ViSession vi) { return viPrintf(vi, "*CLS\n"); }},
      {"viScanf", [](ViSession vi) { return viScanf(vi, "%255s", text); }},
      {"viQueryf", [](ViSession vi) { return viQueryf(vi, "*IDN?\n", "%255s", text); }},
      {"viSPrintf", [](ViSession vi) { return viSPrintf(vi, buffer, "%d", 1); }},
      {"viFindNext", [](ViSession vi) { return viFindNext(vi, text); }},
  };
}

// The functions of the buses and mechanisms the library lacks, each with
// arguments that would be valid where they exist.
std::vector<std::function<ViStatus(ViSession)>> MissingCalls() {
  static ViByte buffer[64], byte;
  static ViUInt16 word;
  static ViUInt32 count, longWord;
  static ViUInt64 wide;
  static ViJobId job;
  static ViEventType type;
  static ViEvent context;
  static ViAddr address;
  static ViBusAddress offset;
  constexpr ViUInt16 a16 = VI_A16_SPACE;
  constexpr ViBusSize huge = ~ViBusSize{0};
  return {
      [](ViSession vi) { return viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL); },
      [](ViSession vi) { return viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, &type, &context); },
      [](ViSession vi) { return viInstallHandler(vi, VI_EVENT_SERVICE_REQ, VI_NULL, VI_NULL); },
      [](ViSession vi) { return viUninstallHandler(vi, VI_EVENT_SERVICE_REQ, VI_NULL, VI_NULL); },
      [](ViSession vi) { return viReadAsync(vi, buffer, 1, &job); },
      [](ViSession vi) { return viWriteAsync(vi, buffer, 1, &job); },
      [](ViSession vi) { return viTerminate(vi, VI_NULL, job); },
      [](ViSession vi) { return viReadToFile(vi, "/dev/null", 1, &count); },
      [](ViSession vi) { return viWriteFromFile(vi, "/dev/null", 1, &count); },
      [](ViSession vi) { return viGpibControlREN(vi, VI_GPIB_REN_ASSERT); },
      [](ViSession vi) { return viGpibControlATN(vi, 1); },
      [](ViSession vi) { return viGpibSendIFC(vi); },
      [](ViSession vi) { return viGpibCommand(vi, buffer, 0xFFFFFFFFu, &count); },
      [](ViSession vi) { return viGpibPassControl(vi, 1, 0xFFFF); },
      [](ViSession vi) { return viVxiCommandQuery(vi, 0, 0, &count); },
      [](ViSession vi) { return viAssertUtilSignal(vi, 1); },
      [](ViSession vi) { return viAssertIntrSignal(vi, 1, 0); },
      [](ViSession vi) { return viMapTrigger(vi, 0, 1, 0); },
      [](ViSession vi) { return viUnmapTrigger(vi, 0, 1); },
      [](ViSession vi) { return viUsbControlOut(vi, 0, 0, 0, 0, 0, buffer); },
      [](ViSession vi) { return viUsbControlIn(vi, 0, 0, 0, 0, 64, buffer, &word); },
      [](ViSession vi) { return viIn8(vi, a16, 0, &byte); },
      [](ViSession vi) { return viOut8(vi, a16, 0, 0); },
      [](ViSession vi) { return viIn16(vi, a16, 0, &word); },
      [](ViSession vi) { return viOut16(vi, a16, 0, 0); },
      [](ViSession vi) { return viIn32(vi, a16, 0, &longWord); },
      [](ViSession vi) { return viOut32(vi, a16, 0, 0); },
      [](ViSession vi) { return viIn64(vi, a16, 0, &wide); },
      [](ViSession vi) { return viOut64(vi, a16, 0, 0); },
      [](ViSession vi) { return viMoveIn8(vi, a16, 0, huge, buffer); },
      [](ViSession vi) { return viMoveOut8(vi, a16, 0, huge, buffer); },
      [](ViSession vi) { return viMoveIn16(vi, a16, 0, huge, &word); },
      [](ViSession vi) { return viMoveOut16(vi, a16, 0, huge, &word); },
      [](ViSession vi) { return viMoveIn32(vi, a16, 0, huge, &longWord); },
      [](ViSession vi) { return viMoveOut32(vi, a16, 0, huge, &longWord); },
      [](ViSession vi) { return viMoveIn64(vi, a16, 0, huge, &wide); },
      [](ViSession vi) { return viMoveOut64(vi, a16, 0, huge, &wide); },
      [](ViSession vi) { return viMove(vi, a16, 0, VI_WIDTH_8, a16, 0, VI_WIDTH_8, 1); },
      [](ViSession vi) { return viMoveAsync(vi, a16, 0, VI_WIDTH_8, a16, 0, VI_WIDTH_8, 1, &job); },
      [](ViSession vi) { return viMapAddress(vi, a16, 0, 16, VI_FALSE, VI_NULL, &address); },
      [](ViSession vi) { return viUnmapAddress(vi); },
      [](ViSession vi) { return viMemAlloc(vi, 16, &offset); },
      [](ViSession vi) { return viMemFree(vi, 0); },
  };
}

class ExportedFunctionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    const std::string name = "TCPIP::127.0.0.1::" + std::to_string(emulator_.Start().socketPort) + "::SOCKET";
    ASSERT_EQ(viOpen(rm_, name.c_str(), VI_NO_LOCK, 2000, &vi_), VI_SUCCESS);
    viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 2000);
    viSetAttribute(vi_, VI_ATTR_TERMCHAR_EN, VI_TRUE);
  }
  void TearDown() override { viClose(rm_); }

  zta_sim::Emulator emulator_{zta_sim::Options{}};
  ViSession rm_ = VI_NULL;
  ViSession vi_ = VI_NULL;
};

// On a good session the buses and mechanisms the library lacks are not supported.
TEST_F(ExportedFunctionsTest, BadSessionsAndMissingMechanisms) {
  ViSession closed = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&closed), VI_SUCCESS);
  ASSERT_EQ(viClose(closed), VI_SUCCESS);
  const auto refusesBadSessions = [closed](const std::function<ViStatus(ViSession)>& run, const std::string& name) {
    for (ViSession vi : {ViSession{VI_NULL}, ViSession{0xDEADBEEF}, closed}) {
      EXPECT_EQ(run(vi), VI_ERROR_INV_OBJECT) << name << " on " << vi;
    }
  };
  for (const Call& call : SessionCalls()) refusesBadSessions(call.run, call.name);
  const auto missing = MissingCalls();
  for (std::size_t i = 0; i < missing.size(); ++i) {
    refusesBadSessions(missing[i], "missing call " + std::to_string(i));
    EXPECT_EQ(missing[i](vi_), VI_ERROR_NSUP_OPER) << "missing call " << i;
  }
}

TEST_F(ExportedFunctionsTest, NullPointersGiveAStatus) {
  ViByte buffer[16];
  ViUInt32 count = 0;
  ViChar text[256];
  ViSession unopened = VI_NULL;
  EXPECT_LT(viOpenDefaultRM(VI_NULL), VI_SUCCESS);
  EXPECT_LT(viOpen(rm_, VI_NULL, VI_NULL, 0, &unopened), VI_SUCCESS);
  EXPECT_LT(viOpen(rm_, "TCPIP::127.0.0.1::1::SOCKET", VI_NULL, 0, VI_NULL), VI_SUCCESS);
  EXPECT_LT(viRead(vi_, VI_NULL, 16, &count), VI_SUCCESS);
  EXPECT_LT(viWrite(vi_, VI_NULL, 16, &count), VI_SUCCESS);
  EXPECT_LT(viReadSTB(vi_, VI_NULL), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_TMO_VALUE, VI_NULL), VI_ERROR_INV_PARAMETER);
  EXPECT_EQ(viStatusDesc(vi_, VI_ERROR_TMO, VI_NULL), VI_ERROR_INV_PARAMETER);
  EXPECT_EQ(viFindRsrc(rm_, VI_NULL, VI_NULL, VI_NULL, text), VI_ERROR_INV_EXPR);
  EXPECT_LT(viParseRsrc(rm_, VI_NULL, VI_NULL, VI_NULL), VI_SUCCESS);
  EXPECT_LT(viParseRsrcEx(rm_, VI_NULL, VI_NULL, VI_NULL, text, text, text), VI_SUCCESS);
  EXPECT_EQ(viPrintf(vi_, VI_NULL), VI_ERROR_INV_FMT);
  EXPECT_EQ(viScanf(vi_, VI_NULL), VI_ERROR_INV_FMT);
  EXPECT_EQ(viQueryf(vi_, "*IDN?\n", VI_NULL), VI_ERROR_INV_FMT);
  EXPECT_EQ(viPrintf(vi_, "%s\n", static_cast<const char*>(VI_NULL)), VI_ERROR_INV_PARAMETER);
  EXPECT_EQ(viSPrintf(vi_, VI_NULL, "%d", 1), VI_ERROR_USER_BUF);
  EXPECT_EQ(viSScanf(vi_, VI_NULL, "%d", &count), VI_ERROR_USER_BUF);
  // The session still works.
  EXPECT_EQ(viWrite(vi_, reinterpret_cast<const ViByte*>("*OPC?\n"), 6, &count), VI_SUCCESS);
  EXPECT_EQ(viRead(vi_, buffer, sizeof buffer, &count), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), "1\n");
}

TEST_F(ExportedFunctionsTest, FormattedIoOverTheSession) {
  ViReal64 volts = 0;
  ViChar identity[256] = "";
  ViInt32 number = 0;
  EXPECT_EQ(viPrintf(vi_, "VOLT %.1f\n", 99.5), VI_SUCCESS);
  EXPECT_EQ(viQueryf(vi_, "VOLT?\n", "%lf", &volts), VI_SUCCESS);
  EXPECT_EQ(volts, 99.5);
  EXPECT_EQ(viQueryf(vi_, "%s\n", "%255[^,]", "*IDN?", identity), VI_SUCCESS);
  EXPECT_STREQ(identity, "Halvorn");
  // The reply ends the message whatever the read format leaves of it.
  EXPECT_EQ(viQueryf(vi_, "SYST:ERR?\n", "%d", &number), VI_SUCCESS);
  EXPECT_EQ(viQueryf(vi_, "*OPC?\n", "%d", &number), VI_SUCCESS);
  EXPECT_EQ(number, 1);
  // A query's read takes the arguments after the write's.
  number = 0;
  EXPECT_EQ(viQueryf(vi_, "%s%c\n", "%d", "*OPC", '?', &number), VI_SUCCESS);
  EXPECT_EQ(number, 1);
  // The formatted buffers need no size; the kernel sizes the low-level ones.
  EXPECT_EQ(viSetBuf(vi_, VI_READ_BUF | VI_WRITE_BUF, 64), VI_SUCCESS);
  EXPECT_EQ(viSetBuf(vi_, VI_IO_IN_BUF, 64), VI_WARN_NSUP_BUF);
  EXPECT_EQ(viSetBuf(vi_, 0x100, 64), VI_ERROR_INV_MASK);
  EXPECT_EQ(viSetBuf(vi_, VI_READ_BUF, 0), VI_ERROR_INV_PARAMETER);
  ViUInt32 count = 0;
  EXPECT_EQ(viBufWrite(vi_, reinterpret_cast<const ViByte*>("*OPC?\n"), 6, &count), VI_SUCCESS);
  EXPECT_EQ(viBufRead(vi_, reinterpret_cast<ViByte*>(identity), sizeof identity, &count), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(std::string(identity, count), "1\n");
}

// The format language through viSPrintf and viSScanf: the arguments a
// directive takes from the C call, their widths, the byte order of blocks.
TEST_F(ExportedFunctionsTest, FormatsTakeTheirArgumentsInOrder) {
  ViByte out[64];
  const ViInt32 three[] = {1, -2, 3};
  const ViReal32 reals[] = {0.5f, 2.0f};
  const ViInt16 words[] = {0x0102, 0x0304};
  struct Write {
    std::function<ViStatus()> run;
    std::string expected;
  } writes[] = {
      {[&] { return viSPrintf(vi_, out, "%d|%*d|%-3s|%.2lf|%c", -4, 4, 42, "ab", 2.345, 'x'); }, "-4|  42|ab |2.35|x"},
      {[&] { return viSPrintf(vi_, out, "%ld %Id %hd", 2147483647L, 1LL << 40, 65537); }, "2147483647 1099511627776 1"},
      {[&] { return viSPrintf(vi_, out, "%,3d;%,*f", three, 2, reals); }, "1,-2,3;0.500000,2.000000"},
      {[&] { return viSPrintf(vi_, out, "%*b%2hb", 2, "a\n", words); }, std::string("#12a\n#14\1\2\3\4")},
  };
  for (const Write& write : writes) {
    ASSERT_EQ(write.run(), VI_SUCCESS) << write.expected;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), write.expected);
  }

  long wide = 0x1111111111111111L;
  long double precise = 0;
  ViInt32 values[4] = {};
  ViInt32 count = 4;
  ViChar text[8] = "";
  ViInt32 size = 4;
  EXPECT_EQ(viSScanf(vi_, reinterpret_cast<const ViByte*>("-7 2.5 1,2,3 abcdef"), "%ld %Lf %,#d %#s", &wide,
                     &precise, &count, values, &size, text), VI_SUCCESS);
  EXPECT_EQ(wide, -7);
  EXPECT_EQ(precise, 2.5L);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(values[2], 3);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(size, 3);
  ViInt16 read[2] = {};
  count = 2;
  EXPECT_EQ(viSScanf(vi_, reinterpret_cast<const ViByte*>("#14\1\2\3\4"), "%#hb", &count, read), VI_SUCCESS);
  EXPECT_EQ(read[1], 0x0304);
  // The terminator that ends the message is no content.
  EXPECT_EQ(viSScanf(vi_, reinterpret_cast<const ViByte*>("a b\n"), "%t", text), VI_SUCCESS);
  EXPECT_STREQ(text, "a b");
  // A response that ends early or does not match.
  ViInt32 number = 0;
  for (const char* response : {"5\n", "x", ""}) {
    EXPECT_EQ(viSScanf(vi_, reinterpret_cast<const ViByte*>(response), "%d%d", &number, &number), VI_ERROR_INV_FMT)
        << response;
  }
}

TEST_F(ExportedFunctionsTest, FormatsTheEngineLacksAreRefused) {
  // VISA conversions without their counterpart, and directives that want
  // the driver's own types.
  for (const char* format : {"%X", "%lld", "%!olb", "%#s", "%{Mode}s", "%$Bs"}) {
    EXPECT_EQ(viPrintf(vi_, format), VI_ERROR_NSUP_FMT) << format;
  }
  for (const char* format : {"%,3s", "%,#$Sd"}) EXPECT_EQ(viScanf(vi_, format), VI_ERROR_NSUP_FMT) << format;
  // No directive, or one without the count it needs.
  for (const char* format : {"%n", "%k volts", "VOLT %", "%b", "%,d", "%70000d"}) {
    EXPECT_EQ(viPrintf(vi_, format), VI_ERROR_INV_FMT) << format;
  }
  EXPECT_EQ(viScanf(vi_, "%b"), VI_ERROR_INV_FMT);
}

TEST_F(ExportedFunctionsTest, FindListsWalkAndCloseWithTheirManager) {
  ViFindList list = VI_NULL;
  ViUInt32 found = 0;
  ViChar name[256];
  EXPECT_EQ(viFindRsrc(rm_, "(unbalanced", &list, &found, name), VI_ERROR_INV_EXPR);
  EXPECT_EQ(viFindRsrc(rm_, "NOTHING::LIKE::THIS", &list, &found, name), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(found, 0u);
  EXPECT_EQ(viFindRsrc(vi_, "?*", &list, &found, name), VI_ERROR_INV_OBJECT);
  ViStatus status = viFindRsrc(rm_, "?*", &list, &found, name);
  if (status == VI_ERROR_RSRC_NFOUND) GTEST_SKIP() << "this machine has no instrument to find";
  ASSERT_EQ(status, VI_SUCCESS);
  for (ViUInt32 i = 1; i < found; ++i) EXPECT_EQ(viFindNext(list, name), VI_SUCCESS);
  EXPECT_EQ(viFindNext(list, name), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(viClose(rm_), VI_SUCCESS);
  EXPECT_EQ(viFindNext(list, name), VI_ERROR_INV_OBJECT);
  rm_ = VI_NULL;
}

}  // namespace
