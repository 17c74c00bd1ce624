// The I/O session on its own, over real sockets: the emulated instrument for
// what it answers, the scripted instrument for the exact lines sent.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "hvzelta/status.h"
#include "io/visa_com_session.h"
#include "io/visa_session.h"
#include "io/session_harness.h"
#include "support/scripted_instrument.h"
#include "visa/builtin_visa.h"
#include "zta_sim/emulator.h"

namespace hvzelta {
namespace {

using testing::LastError;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

class EmulatorSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string resource = "TCPIP::127.0.0.1::" + std::to_string(emulator_.Start().socketPort) + "::SOCKET";
    ASSERT_EQ(harness_.Open(session_, resource), S_OK) << LastError();
  }

  zta_sim::Emulator emulator_{zta_sim::Options{}};
  testing::SessionHarness harness_;
  CVisaComSession session_{visa::BuiltinVisaLibrary()};
};

TEST_F(EmulatorSessionTest, FormattedOperationsRunTheirStepsAndPollWhenTheyCompleteAMessage) {
  ASSERT_EQ(session_.Printf("VOLT %0.15lg\n", 120.0), S_OK) << LastError();
  EXPECT_EQ(harness_.polls, 1);
  ASSERT_EQ(session_.PrintfNoFlush("FREQ %d", 55), S_OK);
  ASSERT_EQ(session_.FlushWrite(true, kKeepTimeout), S_OK);
  EXPECT_EQ(harness_.polls, 1) << "no poll without a complete message";

  double volts = 0;
  ASSERT_EQ(session_.Queryf("VOLT?", "%lf", &volts), S_OK) << LastError();
  EXPECT_DOUBLE_EQ(volts, 120.0);
  EXPECT_EQ(harness_.polls, 2);
  double hertz = 0;
  ASSERT_EQ(session_.QueryfNoPoll("FREQ?", "%lf", &hertz), S_OK);
  EXPECT_DOUBLE_EQ(hertz, 55.0);
  EXPECT_EQ(harness_.polls, 2);

  ASSERT_EQ(session_.WriteStringNoPoll("FREQ?", true, kKeepTimeout), S_OK);
  ASSERT_EQ(session_.ScanfNoFlush("%lf", &hertz), S_OK);
  EXPECT_EQ(harness_.polls, 2);
  ASSERT_EQ(session_.WriteStringNoPoll("VOLT?", true, kKeepTimeout), S_OK);
  ASSERT_EQ(session_.Scanf("%lf", &volts), S_OK);
  EXPECT_EQ(harness_.polls, 3);

  std::int32_t complete = 0;
  ASSERT_EQ(session_.QueryNumber("*OPC?", complete, kKeepTimeout, Polling::Off), S_OK);
  EXPECT_EQ(complete, 1);
  EXPECT_EQ(session_.QueryReal("VOLT?", volts, 1000), S_OK);
  EXPECT_EQ(harness_.polls, 4);
}

TEST_F(EmulatorSessionTest, SettingsAndDeviceOperations) {
  std::uint8_t character = 0;
  VARIANT_BOOL enabled = VARIANT_FALSE;
  ASSERT_EQ(session_.GetTerminationCharacterEnabled(&enabled), S_OK);
  EXPECT_EQ(enabled, VARIANT_TRUE) << "a socket ends its messages with a line feed";
  ASSERT_EQ(session_.SetTerminationCharacter('\r'), S_OK);
  ASSERT_EQ(session_.GetTerminationCharacter(&character), S_OK);
  EXPECT_EQ(character, '\r');
  ASSERT_EQ(session_.SetTerminationCharacter('\n'), S_OK);

  ASSERT_EQ(session_.SetBufferSize(BufferSelect::Both, 100), S_OK);
  std::int32_t capacity = 0;
  ASSERT_EQ(session_.GetReadBufferSize(&capacity), S_OK);
  ASSERT_EQ(session_.GetWriteBufferSize(&capacity), S_OK);
  EXPECT_EQ(capacity, 100);
  std::string identity;
  ASSERT_EQ(session_.QueryText("*IDN?", identity), S_OK) << "a reply longer than the read buffer";
  EXPECT_EQ(identity.rfind("Halvorn,ZTA100,", 0), 0u) << identity;

  VARIANT_BOOL bigEndian = VARIANT_FALSE;
  ASSERT_EQ(session_.GetInstrumentBigEndian(&bigEndian), S_OK);
  EXPECT_EQ(bigEndian, VARIANT_TRUE);

  std::string key;
  ASSERT_EQ(session_.Lock(0, 100, {}, &key), S_OK) << LastError();
  ASSERT_EQ(session_.Unlock(), S_OK);
  ASSERT_EQ(session_.Lock(1, 100, "bench", &key), S_OK) << LastError();
  EXPECT_EQ(key, "bench");
  ASSERT_EQ(session_.Unlock(), S_OK);
  EXPECT_EQ(session_.Lock(2, 100, {}, &key), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_EQ(LastError(), "HalvornZelta: I/O error: Unsupported VISA session access mode.");

  std::int16_t statusByte = 0;
  EXPECT_EQ(session_.ReadStatusByte(&statusByte), E_HALVORNZELTA_IO_GENERAL) << "a socket has no status byte";
  EXPECT_EQ(session_.DeviceClear(), S_OK);
}

TEST_F(EmulatorSessionTest, ResourceInformationAndAttributes) {
  IVisaSession& visa = *session_.Visa();
  std::string text;
  ASSERT_EQ(visa.GetResourceClass(&text), S_OK);
  EXPECT_EQ(text, "SOCKET");
  ASSERT_EQ(visa.GetResourceName(&text), S_OK);
  EXPECT_NE(text.find("::SOCKET"), std::string::npos) << text;
  VisaInterfaceType type = VisaInterfaceType::Other;
  ASSERT_EQ(visa.GetInterfaceType(&type), S_OK);
  EXPECT_EQ(type, VisaInterfaceType::Tcpip);
  VisaIoProtocol protocol = VisaIoProtocol::Fdc;
  ASSERT_EQ(visa.GetProtocol(&protocol), S_OK);
  EXPECT_EQ(protocol, VisaIoProtocol::Normal);
  std::int16_t number = -1;
  ASSERT_EQ(visa.GetInterfaceNumber(&number), S_OK);
  EXPECT_EQ(number, 0);

  ASSERT_EQ(visa.SetAttribute(visa::VI_ATTR_TMO_VALUE, 300), S_OK);
  std::uint32_t timeout = 0;
  ASSERT_EQ(visa.GetAttribute(visa::VI_ATTR_TMO_VALUE, &timeout), S_OK);
  EXPECT_EQ(timeout, 300u);
  VARIANT_BOOL flag = VARIANT_FALSE;
  ASSERT_EQ(visa.GetAttribute(visa::VI_ATTR_TERMCHAR_EN, &flag), S_OK);
  EXPECT_EQ(flag, VARIANT_TRUE);

  std::uint8_t narrow = 0;
  EXPECT_EQ(visa.GetAttribute(visa::VI_ATTR_TMO_VALUE, &narrow), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_EQ(LastError(),
            "HalvornZelta: I/O error: GetAttribute could not convert attribute with ID 1073676314 to a UINT8 value.");
  EXPECT_EQ(visa.GetAttribute(visa::VI_ATTR_TMO_VALUE, &flag), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_NE(LastError().find("to a boolean value."), std::string::npos);
  EXPECT_EQ(visa.GetAttribute(visa::VI_ATTR_TMO_VALUE, &text), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_NE(LastError().find("to a string value."), std::string::npos);
  std::uint64_t wide = 0;
  EXPECT_EQ(visa.GetAttribute(visa::VI_ATTR_RSRC_CLASS, &wide), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_NE(LastError().find("with ID -1073807359 to a UINT64 value."), std::string::npos) << LastError();
  // The library's refusal comes back as its own status, described.
  EXPECT_EQ(visa.SetAttribute(visa::VI_ATTR_IO_PROT, 9), visa::VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_NE(LastError().find("I/O error: VI_ERROR_NSUP_ATTR_STATE"), std::string::npos) << LastError();
}

// The built-in library has no register access, shared memory or
// asynchronous transfers, and no events: each says what it lacks. Values
// without a VISA counterpart are refused before anything else.
TEST_F(EmulatorSessionTest, RegisterEventAndTriggerOperationsSayWhatIsMissingOrUnsupported) {
  IVisaSession& visa = *session_.Visa();
  const auto fails = [](HRESULT hr, HRESULT status, std::string_view text) {
    EXPECT_EQ(hr, status) << text;
    EXPECT_NE(LastError().find(text), std::string::npos) << LastError();
  };
  using Op = VisaOperation;
  for (auto [operation, text] : {std::pair{Op::In8, "does not support register-based operations."},
                                 {Op::Peek64, "does not support 64-bit register-based operations."},
                                 {Op::MemFree, "does not support shared memory register-based operations."},
                                 {Op::Terminate, "does not support asynchronous messaging operations."},
                                 {Op::MoveAsync, "does not support the MoveAsync operation."}}) {
    fails(visa.CheckOperation(operation), E_HALVORNZELTA_IO_GENERAL, text);
  }
  EXPECT_EQ(visa.CheckOperation(Op::WaitOnEvent), S_OK) << "the library answers for events";
  fails(visa.CheckOperation(Op::InstallHandler), visa::VI_ERROR_NSUP_OPER, "VI_ERROR_NSUP_OPER");

  const auto space = [](int value) { return static_cast<VisaAddressSpace>(value); };
  const auto width = [](int value) { return static_cast<VisaDataWidth>(value); };
  fails(visa.CheckRegisterOperation(Op::Move, space(12), width(0)), E_HALVORNZELTA_IO_GENERAL,
        "I/O error: Unsupported VISA address space.");
  fails(visa.CheckRegisterOperation(Op::Move, space(11), width(3)), E_HALVORNZELTA_IO_GENERAL,
        "Unsupported VISA data width.");
  fails(visa.CheckRegisterOperation(Op::Move, space(-1), width(0)), E_HALVORNZELTA_IO_GENERAL,
        "Unsupported VISA address space.");
  fails(visa.CheckRegisterOperation(Op::Move, space(4), width(2)), E_HALVORNZELTA_IO_GENERAL,
        "does not support register-based operations.");

  fails(visa.AssertTrigger(3), E_HALVORNZELTA_IO_GENERAL, "Unsupported VISA trigger protocol.");
  fails(visa.AssertTrigger(visa::VI_TRIG_PROT_DEFAULT), visa::VI_ERROR_NSUP_OPER, "VI_ERROR_NSUP_OPER");
  fails(visa.EnableEvent(0x3FFF2010, VisaEventMechanism::Queue), E_HALVORNZELTA_IO_GENERAL,
        "Unsupported VISA event type.");
  fails(visa.DisableEvent(visa::VI_EVENT_SERVICE_REQ, static_cast<VisaEventMechanism>(4)), E_HALVORNZELTA_IO_GENERAL,
        "Unsupported VISA event mechanism.");
  fails(visa.DiscardEvents(visa::VI_ALL_ENABLED_EVENTS, VisaEventMechanism::All), visa::VI_ERROR_NSUP_OPER,
        "VI_ERROR_NSUP_OPER");
  VisaEventType received = 1;
  fails(visa.WaitOnEvent(visa::VI_EVENT_SERVICE_REQ, 10, &received), visa::VI_ERROR_NSUP_OPER, "VI_ERROR_NSUP_OPER");
  EXPECT_EQ(received, 0u);
  fails(visa.WaitOnEvent(visa::VI_EVENT_SERVICE_REQ, 10, nullptr), E_IVI_NULL_POINTER, "'WaitOnEvent'");
}

TEST_F(EmulatorSessionTest, RawOperationsAroundTheBufferPollOnlyInTheirPollingForms) {
  std::int32_t written = 0;
  ASSERT_EQ(session_.LowLevelWriteStringNoPoll(L"*IDN?\n", &written, kKeepTimeout), S_OK);
  EXPECT_EQ(written, 6);
  BSTR start = nullptr;
  EXPECT_EQ(session_.LowLevelReadStringNoPoll(&start, 8, kKeepTimeout), S_MORE_DATA_AVAILABLE);
  EXPECT_EQ(BstrView(start), L"Halvorn,");
  SysFreeString(start);
  SAFEARRAY* rest = nullptr;
  ASSERT_EQ(session_.LowLevelReadBytes(&rest, 1000, kKeepTimeout), S_OK) << "the message ended";
  EXPECT_GT(SafeArrayLength(rest), 5u);
  SafeArrayDestroy(rest);
  EXPECT_EQ(harness_.polls, 1);

  const std::uint8_t query[] = {'V', 'O', 'L', 'T', '?', '\n'};
  ASSERT_EQ(session_.LowLevelWrite(query, sizeof query, &written, 500), S_OK);
  EXPECT_EQ(harness_.polls, 2);
  std::uint8_t reply[64];
  std::int32_t actual = 0;
  ASSERT_EQ(session_.LowLevelReadNoPoll(reply, sizeof reply, &actual, 500), S_OK);
  EXPECT_EQ(reply[actual - 1], '\n');

  ASSERT_EQ(session_.DirectWriteString("FREQ?\n"), S_OK);
  std::string whole;
  ASSERT_EQ(session_.DirectReadString(whole), S_OK);
  EXPECT_EQ(whole.back(), '\n');
  EXPECT_EQ(harness_.polls, 2);
}

TEST(IoSession, EveryOperationOfASessionNeverOpenedReportsNoConnection) {
  CVisaComSession session(visa::BuiltinVisaLibrary());
  std::int16_t shortValue = 0;
  std::int32_t longValue = 0;
  std::uint8_t character = 0;
  VARIANT_BOOL flag = VARIANT_FALSE;
  std::string text;
  double real = 0;
  std::vector<std::uint8_t> bytes;
  const std::vector<std::function<HRESULT()>> operations{
      [&] { return session.ReadStatusByte(&shortValue); },
      [&] { return session.DeviceClear(); },
      [&] { return session.Lock(0, 100, {}, nullptr); },
      [&] { return session.Unlock(); },
      [&] { return session.GetTimeout(&longValue); },
      [&] { return session.SetTimeout(100); },
      [&] { return session.GetTerminationCharacter(&character); },
      [&] { return session.GetTerminationCharacterEnabled(&flag); },
      [&] { return session.GetInstrumentBigEndian(&flag); },
      [&] { return session.SetBufferSize(BufferSelect::Read, 10); },
      [&] { return session.GetWriteBufferSize(&longValue); },
      [&] { return session.FlushRead(kKeepTimeout); },
      [&] { return session.FlushWrite(true, kKeepTimeout); },
      [&] { return session.WriteString("*CLS", true, kKeepTimeout); },
      [&] { return session.ReadString(text, kKeepTimeout); },
      [&] { return session.Printf("VOLT %d", 1); },
      [&] { return session.Queryf("VOLT?", "%lf", &real); },
      [&] { return session.QueryNumber("VOLT?", real); },
      [&] { return session.LowLevelWriteString(L"x", &longValue, kKeepTimeout); },
      [&] { return session.DirectReadBytes(bytes); },
      [&] { return session.Visa()->GetResourceName(&text); },
      [&] { return session.Visa()->CheckOperation(VisaOperation::In8); },
  };
  for (std::size_t i = 0; i < operations.size(); ++i) EXPECT_EQ(operations[i](), E_IVI_NOT_INITIALIZED) << i;
  // The terminators are the session's own settings and wait for the open.
  ASSERT_EQ(session.SetReadTerminator("\r\n"), S_OK);
  ASSERT_EQ(session.GetReadTerminator(&text), S_OK);
  EXPECT_EQ(text, "\r\n");
}

TEST_F(EmulatorSessionTest, NullOutPointersNameTheMethodAndTheParameter) {
  IVisaSession& visa = *session_.Visa();
  const std::vector<std::pair<std::function<HRESULT()>, std::string>> cases{
      {[&] { return session_.ReadStatusByte(nullptr); }, "'ReadStatusBte', parameter 'psStatusByte'"},
      {[&] { return session_.GetTimeout(nullptr); }, "'GetTimeout', parameter 'plTimeout'"},
      {[&] { return session_.GetTerminationCharacter(nullptr); }, "'GetTerminationCharacter', parameter 'pcTermChar'"},
      {[&] { return session_.GetTerminationCharacterEnabled(nullptr); },
       "'GetTerminationCharacterEnabled', parameter 'pbEnabled'"},
      {[&] { return visa.GetInterfaceType(nullptr); }, "'GetInterfaceType', parameter 'peType'"},
      {[&] { return visa.GetProtocol(nullptr); }, "'GetProtocol', parameter 'peProtocol'"},
  };
  for (const auto& [call, named] : cases) {
    EXPECT_EQ(call(), E_IVI_NULL_POINTER) << named;
    EXPECT_EQ(LastError(), "HalvornZelta: Null pointer passed for method " + named + ".");
  }
}

class ScriptedSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(harness_.Open(session_, instrument_.Resource()), S_OK) << LastError();
  }

  testing::ScriptedInstrument instrument_;
  testing::SessionHarness harness_;
  CVisaComSession session_{visa::BuiltinVisaLibrary()};
};

TEST_F(ScriptedSessionTest, PrintfEndsOnceAndQueryfDrainsWhatAnEarlierReadLeft) {
  instrument_.Answer("LIST?", "1,2,3");
  instrument_.Answer("ONE?", "7");
  ASSERT_EQ(session_.Printf("CMD 1\n"), S_OK);
  std::int32_t first = 0, second = 0, other = 0;
  EXPECT_EQ(session_.Queryf("LIST?", "%d", &first), S_MORE_DATA_AVAILABLE);
  ASSERT_EQ(session_.ScanfNoFlush(",%d", &second), S_MORE_DATA_AVAILABLE);
  ASSERT_EQ(session_.Queryf("ONE?", "%d", &other), S_OK);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
  EXPECT_EQ(other, 7);
  EXPECT_EQ(instrument_.TakeReceived(), (Lines{"CMD 1", "LIST?", "ONE?"})) << "one line feed per message";

  // A command the write engine cannot finish is not sent, and leaves nothing
  // behind to prefix the next one.
  EXPECT_EQ(session_.Printf("VOLT %d %d", 1), E_INVALIDARG);
  ASSERT_EQ(session_.Queryf("ONE?", "%d", &other), S_OK);
  EXPECT_EQ(instrument_.TakeReceived(), (Lines{"ONE?"}));
}

TEST_F(ScriptedSessionTest, ACallsTimeoutHoldsForThatCallOnly) {
  instrument_.Silence("MUTE?");
  instrument_.Answer("ONE?", "7");
  ASSERT_EQ(session_.SetTimeout(1500), S_OK);
  std::int32_t value = 0;
  const auto start = Clock::now();
  EXPECT_EQ(session_.QueryNumber("MUTE?", value, 200), E_HALVORNZELTA_IO_TIMEOUT);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_EQ(LastError().rfind("HalvornZelta: I/O timeout error: ", 0), 0u) << LastError();
  std::int32_t timeout = 0;
  ASSERT_EQ(session_.GetTimeout(&timeout), S_OK);
  EXPECT_EQ(timeout, 1500) << "restored after the failure";
  ASSERT_EQ(session_.QueryNumber("ONE?", value, 5000), S_OK) << "the session recovers at once";
  EXPECT_EQ(value, 7);
  ASSERT_EQ(session_.GetTimeout(&timeout), S_OK);
  EXPECT_EQ(timeout, 1500);
}

TEST_F(ScriptedSessionTest, TypedListsBlocksNumbersAndTexts) {
  instrument_.Answer("REAL?", "1.5,-2.25,3e3");
  instrument_.Answer("INTS?", "4;5;6");
  instrument_.Answer("BLK?", std::string("#14\x01\x0A\x02\x0B", 7));
  instrument_.Answer("TEXT?", "\"quoted\" words");
  instrument_.Answer("NUM?", "-42");

  double reals[8] = {};
  std::int32_t count = 0;
  ASSERT_EQ(session_.QueryList<double>("REAL?", reals, count, ','), S_OK);
  ASSERT_EQ(count, 3);
  EXPECT_EQ((std::vector<double>(reals, reals + 3)), (std::vector<double>{1.5, -2.25, 3000}));
  std::int16_t shorts[2] = {};
  ASSERT_EQ(session_.QueryList<std::int16_t>("INTS?", shorts, count, ';'), S_OK);
  EXPECT_EQ(count, 2) << "the destination bounds the read";
  EXPECT_EQ(shorts[1], 5);
  EXPECT_EQ(session_.QueryList<std::int16_t>("INTS?", shorts, count, '|'), E_INVALIDARG);

  // A line feed inside a block is data, and elements come in the instrument's byte order.
  ASSERT_EQ(session_.QueryBlock<std::int16_t>("BLK?", shorts, count), S_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(shorts[0], 0x010A);
  EXPECT_EQ(shorts[1], 0x020B);
  ASSERT_EQ(session_.SetInstrumentBigEndian(VARIANT_FALSE), S_OK);
  ASSERT_EQ(session_.QueryBlock<std::int16_t>("BLK?", shorts, count), S_OK);
  EXPECT_EQ(shorts[0], 0x0A01);

  std::string text;
  ASSERT_EQ(session_.QueryText("TEXT?", text), S_OK);
  EXPECT_EQ(text, "\"quoted\" words");
  std::int64_t big = 0;
  ASSERT_EQ(session_.QueryNumber("NUM?", big), S_OK);
  EXPECT_EQ(big, -42);
  ASSERT_EQ(session_.WriteString("NUM?", true, kKeepTimeout), S_OK);
  float single = 0;
  ASSERT_EQ(session_.ReadNumber(single, true), S_OK);
  EXPECT_EQ(single, -42.0f);
  instrument_.TakeReceived();

  const std::int32_t integers[] = {1, -2, 3};
  const double halves[] = {0.5, 2};
  const std::uint8_t block[] = {'a', 'b', 'c'};
  ASSERT_EQ(session_.WriteNumber(7, true), S_OK);
  ASSERT_EQ(session_.WriteList<std::int32_t>(integers, ',', true), S_OK);
  ASSERT_EQ(session_.WriteList<double>(halves, ' ', true), S_OK);
  ASSERT_EQ(session_.WriteString("DATA ", false, kKeepTimeout), S_OK);
  ASSERT_EQ(session_.WriteBlock<std::uint8_t>(block, true), S_OK);
  ASSERT_EQ(session_.QueryNumber("NUM?", big), S_OK);
  EXPECT_EQ(instrument_.TakeReceived(), (Lines{"7", "1,-2,3", "0.5 2", "DATA #13abc", "NUM?"}));
  EXPECT_EQ(harness_.polls, 13);
}

}  // namespace
}  // namespace hvzelta
