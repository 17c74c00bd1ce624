#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <thread>

#include "acpwr/halvorn_zelta.h"
#include "hvzelta/com/error_info.h"
#include "support/error_text.h"
#include "support/unsupported_io_session.h"

namespace hvzelta {
namespace {

using testing::LastError;

// What a scripted instrument answers, and what the driver sent it.
struct Script {
  HRESULT openStatus = S_OK;
  std::map<std::string, std::string, std::less<>> replies;
  std::vector<std::string> written;
  std::string pendingReply;
  bool replyPending = false;
  int deviceClears = 0;
  bool closed = false;
};

class ScriptedSession final : public testing::UnsupportedIoSession {
 public:
  explicit ScriptedSession(std::shared_ptr<Script> script) : script_(std::move(script)) {}

  HRESULT Open(std::string_view, IInstrErrorPoller* poller, IErrorReporter*, IEnumFormatter*) override {
    poller_ = poller;
    return script_->openStatus;
  }
  HRESULT Close() override {
    script_->closed = true;
    return S_OK;
  }
  HRESULT DeviceClear() override {
    ++script_->deviceClears;
    return S_OK;
  }
  HRESULT FlushRead(std::int32_t) override {
    script_->replyPending = false;
    return S_OK;
  }
  HRESULT WriteString(std::string_view text, bool flushWithEnd, std::int32_t timeout) override {
    const HRESULT hr = WriteStringNoPoll(text, flushWithEnd, timeout);
    return Failed(hr) ? hr : poller_->PollInstrumentErrors();
  }
  HRESULT WriteStringNoPoll(std::string_view text, bool, std::int32_t) override {
    script_->written.emplace_back(text);
    const auto reply = script_->replies.find(text);
    script_->replyPending = reply != script_->replies.end();
    if (script_->replyPending) script_->pendingReply = reply->second;
    return S_OK;
  }
  HRESULT ReadString(std::string& text, std::int32_t timeout) override {
    const HRESULT hr = ReadStringNoPoll(text, timeout);
    return Failed(hr) ? hr : poller_->PollInstrumentErrors();
  }
  HRESULT ReadStringNoPoll(std::string& text, std::int32_t) override {
    if (!script_->replyPending) return E_HALVORNZELTA_IO_TIMEOUT;
    script_->replyPending = false;
    text = script_->pendingReply;
    return S_OK;
  }

 private:
  std::shared_ptr<Script> script_;
  IInstrErrorPoller* poller_ = nullptr;
};

std::string Text(const Bstr& text) { return std::string(text.View().begin(), text.View().end()); }

class DriverTest : public ::testing::Test {
 protected:
  DriverTest() : driver_(ComPtr<HalvornZelta>::Adopt(new HalvornZelta())) {
    driver_->SetIoSessionFactory([script = script_] { return std::make_unique<ScriptedSession>(script); });
    script_->replies["*IDN?"] = "Halvorn,ZTA200,SN123,1.05";
    script_->replies["*ESR?"] = "0";
  }

  HRESULT Init(std::wstring_view options, bool idQuery = false, bool reset = false,
               std::wstring_view resource = L"TCPIP::127.0.0.1::5025::SOCKET") {
    Bstr name(resource);
    Bstr optionText(options);
    return driver_->Initialize(name.Get(), ToVariantBool(idQuery), ToVariantBool(reset), optionText.Get());
  }

  std::string Model() {
    Bstr model;
    EXPECT_EQ(driver_->get_InstrumentModel(model.Out()), S_OK);
    return Text(model);
  }

  bool Setting(HRESULT (HalvornZelta::*getter)(VARIANT_BOOL*)) {
    VARIANT_BOOL value = 7;
    EXPECT_EQ((driver_.Get()->*getter)(&value), S_OK);
    return value == VARIANT_TRUE;
  }

  std::shared_ptr<Script> script_ = std::make_shared<Script>();
  ComPtr<HalvornZelta> driver_;
};

TEST_F(DriverTest, OptionStringSetsTheOperationSettings) {
  ASSERT_EQ(Init(L"Simulate=true, RangeCheck=false, Cache=VI_FALSE, QueryInstrStatus=1, RecordCoercions=True"), S_OK);
  EXPECT_TRUE(Setting(&HalvornZelta::get_Simulate));
  EXPECT_FALSE(Setting(&HalvornZelta::get_RangeCheck));
  EXPECT_FALSE(Setting(&HalvornZelta::get_Cache));
  EXPECT_TRUE(Setting(&HalvornZelta::get_QueryInstrumentStatus));
  EXPECT_TRUE(Setting(&HalvornZelta::get_RecordCoercions));
  EXPECT_FALSE(Setting(&HalvornZelta::get_InterchangeCheck));
  EXPECT_TRUE(script_->written.empty()) << "simulation sends nothing";
  ASSERT_EQ(driver_->put_RangeCheck(VARIANT_TRUE), S_OK);
  ASSERT_EQ(driver_->put_Cache(VARIANT_TRUE), S_OK);
  ASSERT_EQ(driver_->ResetWithDefaults(), S_OK);
  EXPECT_FALSE(Setting(&HalvornZelta::get_RangeCheck)) << "back to the settings of Initialize";
  EXPECT_FALSE(Setting(&HalvornZelta::get_Cache));
  // Options the driver does not know are kept for whoever asks.
  ASSERT_EQ(driver_->Close(), S_OK);
  ASSERT_EQ(Init(L"Simulate=1, Foo=bar"), S_OK);
  EXPECT_EQ(driver_->GetOptionValue("FOO"), "bar");
}

TEST_F(DriverTest, RefusedOptionStringsSayWhyAndLeaveTheDriverReusable) {
  struct Refused {
    const wchar_t* options;
    HRESULT status;
    const char* message;
  };
  for (const Refused& refused : {
           Refused{L"Simulate=yes", E_IVI_BAD_OPTION_VALUE, "The 'yes' value in the option string is unknown."},
           Refused{L"Simulate=true, DriverSetup=Trace=maybe", E_IVI_BAD_OPTION_VALUE,
                   "The 'maybe' value in the option string is unknown."},
           Refused{L"Simulate=1, =x", E_IVI_INVALID_VALUE,
                   "Invalid value '0' for method 'ProcessInitOption', parameter 'strNameIn'."},
           Refused{L"Simulate=1, x= ,", E_IVI_INVALID_VALUE,
                   "Invalid value '0' for method 'ProcessInitOption', parameter 'strValueIn'."},
           Refused{L"Simulate=true, InterchangeCheck=true", E_IVI_BAD_OPTION_VALUE,
                   "The 'True' value in the option string is unknown.\r\n"
                   "Interchange checking is not supported by the driver."},
       }) {
    EXPECT_EQ(Init(refused.options), refused.status);
    EXPECT_EQ(LastError(), std::string("HalvornZelta: ") + refused.message);
    EXPECT_FALSE(driver_->IsInitialized());
  }
  EXPECT_EQ(Init(L"Simulate=1"), S_OK);
}

TEST_F(DriverTest, DriverSetupIsTheLastOptionAndSetsTheModel) {
  // Tracing is closed before Initialize, so turning it off fails.
  EXPECT_EQ(Init(L"Simulate=true, DriverSetup=Model:ZTA300, Trace=false"), E_UNEXPECTED);
  ASSERT_EQ(Init(L"Simulate=true, DriverSetup=Model:ZTA300, TraceArray=false"), S_OK);
  // "Model:ZTA300" is not a pair, so the simulation default stands.
  EXPECT_EQ(Model(), "ZTA100");
  Bstr setup;
  ASSERT_EQ(driver_->get_DriverSetup(setup.Out()), S_OK);
  EXPECT_EQ(Text(setup), "Model:ZTA300, TraceArray=false");
  EXPECT_EQ(driver_->GetDriverSetupBoolean("TRACEARRAY"), false);
  ASSERT_EQ(driver_->Close(), S_OK);

  ASSERT_EQ(Init(L"Simulate=true, DriverSetup = Model=ZTA200, NumPhases:3, TraceSizeMax=12k"), S_OK);
  EXPECT_EQ(Model(), "ZTA200");
  EXPECT_EQ(driver_->GetDriverSetupValue("numphases"), "3");
  EXPECT_EQ(driver_->Trace().sizeMax, 12);
  EXPECT_EQ(Init(L"Simulate=true, DriverSetup=Model=ZTA400"), E_IVI_ALREADY_INITIALIZED);
  EXPECT_EQ(LastError(), "HalvornZelta: The driver is already initialized.");
  EXPECT_EQ(Model(), "ZTA200") << "the session still works";
}

TEST_F(DriverTest, FrameRefusesEverythingButTheExemptMembersBeforeInitialize) {
  Bstr text;
  EXPECT_EQ(driver_->get_Description(text.Out()), S_OK);
  ComPtr<IIviDriverUtility> utility;
  EXPECT_EQ(driver_->get_Utility(utility.Out()), S_OK);

  EXPECT_EQ(driver_->get_GroupCapabilities(text.Out()), E_IVI_NOT_INITIALIZED);
  EXPECT_EQ(LastError(), "HalvornZelta: A connection to the instrument has not been established.");
  EXPECT_EQ(PeekErrorInfo()->interfaceId, IIviDriverIdentity::kIid);
  EXPECT_EQ(driver_->Close(), E_IVI_NOT_INITIALIZED);
  // The check comes before the out-pointer checks.
  EXPECT_EQ(driver_->get_Cache(nullptr), E_IVI_NOT_INITIALIZED);
  EXPECT_EQ(driver_->Initialize(nullptr, VARIANT_FALSE, VARIANT_FALSE, nullptr), E_IVI_INVALID_VALUE);
  EXPECT_EQ(LastError(), "HalvornZelta: Invalid value '0' for method 'Initialize', parameter 'ResourceName'.");
  ASSERT_EQ(Init(L"Simulate=true"), S_OK);
  EXPECT_EQ(PeekErrorInfo(), nullptr) << "success clears the last error";
  EXPECT_EQ(driver_->get_Initialized(nullptr), E_IVI_NULL_POINTER);
}

// What a simulated session does, and the class members it lacks.
TEST_F(DriverTest, SimulatedUtilityAndOperationSettingRules) {
  ASSERT_EQ(Init(L"Simulate=true"), S_OK);
  Bstr text;
  ASSERT_EQ(driver_->get_InstrumentManufacturer(text.Out()), S_OK);
  EXPECT_EQ(Text(text), "Halvorn");
  std::int32_t number = -1;
  ASSERT_EQ(driver_->ErrorQuery(&number, text.Out()), S_OK);
  EXPECT_EQ(Text(text), "No error.");
  EXPECT_EQ(driver_->Reset(), S_OK);
  EXPECT_EQ(driver_->Disable(), S_OK);
  EXPECT_EQ(driver_->LockObject(), E_IVI_METHOD_NOT_SUPPORTED);
  EXPECT_EQ(LastError(), "HalvornZelta: Does not support this class-compliant feature: method 'LockObject'.");
  EXPECT_EQ(driver_->GetNextInterchangeWarning(text.Out()), E_IVI_METHOD_NOT_SUPPORTED);
  ComPtr<IHalvornZelta> root;  // what a caller of the object interface holds
  ASSERT_EQ(driver_.As(root), S_OK);
  EXPECT_EQ(root->AttachToExistingCSession(), E_IVI_METHOD_NOT_SUPPORTED);
  std::int32_t handle = 9;
  EXPECT_EQ(root->get_NativeCHandle(&handle), E_IVI_PROPERTY_NOT_SUPPORTED);
  EXPECT_EQ(handle, 0);

  EXPECT_EQ(driver_->put_InterchangeCheck(VARIANT_FALSE), S_OK);
  EXPECT_EQ(driver_->put_InterchangeCheck(VARIANT_TRUE), E_IVI_VALUE_NOT_SUPPORTED);
  EXPECT_FALSE(Setting(&HalvornZelta::get_InterchangeCheck));
  EXPECT_EQ(driver_->put_Simulate(VARIANT_TRUE), S_OK);
  EXPECT_EQ(driver_->put_Simulate(VARIANT_FALSE), E_IVI_CANNOT_CHANGE_SIMULATION_STATE);
  EXPECT_TRUE(Setting(&HalvornZelta::get_Simulate));
  EXPECT_EQ(driver_->GetNextCoercionRecord(text.Out()), S_OK);
  EXPECT_EQ(Text(text), "");
}

TEST_F(DriverTest, CoercionRecordsComeOutOldestFirstWithinTheirBound) {
  ASSERT_EQ(Init(L"Simulate=true, RecordCoercions=true"), S_OK);
  for (int i = 0; i < 1005; ++i) driver_->AddCoercionRecord("record " + std::to_string(i));
  Bstr text;
  ASSERT_EQ(driver_->GetNextCoercionRecord(text.Out()), S_OK);
  EXPECT_EQ(Text(text), "record 5") << "the five oldest made room";
  ASSERT_EQ(driver_->put_RecordCoercions(VARIANT_FALSE), S_OK);
  ASSERT_EQ(driver_->GetNextCoercionRecord(text.Out()), S_OK);
  EXPECT_EQ(Text(text), "") << "not handed out while recording is off";
  ASSERT_EQ(driver_->put_RecordCoercions(VARIANT_TRUE), S_OK);
  ASSERT_EQ(driver_->GetNextCoercionRecord(text.Out()), S_OK);
  EXPECT_EQ(Text(text), "record 6");
}

TEST_F(DriverTest, InstrumentIdentityFillsTheFourFieldsAndOutlivesTheSession) {
  ASSERT_EQ(Init(L"DriverSetup=Model=ZTA300", /*idQuery=*/true), S_OK);
  EXPECT_EQ(script_->written, std::vector<std::string>{"*IDN?"});
  EXPECT_EQ(driver_->InstrumentManufacturer(), "Halvorn");
  EXPECT_EQ(Model(), "ZTA200");
  EXPECT_EQ(driver_->SerialNumber(), "SN123");
  EXPECT_EQ(driver_->FirmwareRevision(), "1.05");
  ASSERT_EQ(driver_->Close(), S_OK);
  EXPECT_TRUE(script_->closed);

  // A new Initialize starts the maps afresh; identity and DriverSetup text stay until replaced.
  ASSERT_EQ(Init(L"Simulate=true", false, false, L"ASRL1::INSTR"), S_OK);
  EXPECT_EQ(Model(), "ZTA200");
  EXPECT_EQ(driver_->SerialNumber(), "SN123");
  EXPECT_EQ(driver_->DriverSetup(), "Model=ZTA300");
  EXPECT_EQ(driver_->GetDriverSetupValue("model"), "");
  EXPECT_EQ(driver_->ResourceDescriptor(), "ASRL1::INSTR");
  ASSERT_EQ(driver_->Close(), S_OK);

  script_->replies["*IDN?"] = " Maker ";
  ASSERT_EQ(Init(L""), S_OK);
  EXPECT_EQ(driver_->InstrumentManufacturer(), "Maker");
  EXPECT_EQ(Model(), "");
  EXPECT_EQ(driver_->FirmwareRevision(), "");
}

// A failed Initialize says why and closes what it opened.
TEST_F(DriverTest, FailedInitializeSaysWhy) {
  script_->replies["*IDN?"] = "Maker,ABC123,1,2";
  EXPECT_EQ(Init(L"DriverSetup=Model=ZTA100", /*idQuery=*/true), E_IVI_ID_QUERY_FAILED);
  EXPECT_EQ(LastError(), "HalvornZelta: Instrument ID query failed.\r\nUnrecognized model: ABC123.");
  EXPECT_TRUE(script_->closed);
  EXPECT_FALSE(driver_->IsInitialized());
  EXPECT_EQ(driver_->Io(), nullptr);

  EXPECT_EQ(Init(L"", false, /*reset=*/true), E_IVI_RESET_FAILED) << "no reply to *RST;*OPC?";
  EXPECT_EQ(LastError(), "HalvornZelta: Instrument reset failed.");
  script_->replies["*RST;*OPC?"] = "1";
  EXPECT_EQ(Init(L"", false, /*reset=*/true), S_OK);
  EXPECT_EQ(script_->written.back(), "*RST;*OPC?");
  ASSERT_EQ(driver_->Close(), S_OK);

  script_->openStatus = E_IVI_RESOURCE_UNKNOWN;
  EXPECT_EQ(Init(L"", false, false, L"TCPIP::nowhere::INSTR"), E_IVI_RESOURCE_UNKNOWN);
  EXPECT_EQ(LastError(), "HalvornZelta: Unknown resource.\r\nResource descriptor = TCPIP::nowhere::INSTR.");
  script_->openStatus = E_HALVORNZELTA_IO_GENERAL;
  EXPECT_EQ(Init(L""), E_HALVORNZELTA_IO_GENERAL) << "other open failures pass unchanged";
}

TEST_F(DriverTest, StatusPollFailsOnTheErrorBitsOnly) {
  ASSERT_EQ(Init(L"QueryInstrStatus=true"), S_OK);
  EXPECT_EQ(script_->written.front(), "*CLS");
  for (const char* passing : {"0", "64", "+0\n"}) {
    script_->replies["*ESR?"] = passing;
    EXPECT_EQ(driver_->PollInstrumentErrors(), S_OK) << passing;
  }
  for (const char* failing : {"4", "32"}) {
    script_->replies["*ESR?"] = failing;
    EXPECT_EQ(driver_->PollInstrumentErrors(), E_IVI_INSTRUMENT_STATUS) << failing;
  }
  EXPECT_EQ(LastError(), "HalvornZelta: Instrument error detected.  Use ErrorQuery() to determine error(s).");
  script_->replies.erase("*ESR?");
  EXPECT_EQ(driver_->PollInstrumentErrors(), E_IVI_INSTRUMENT_STATUS);
  EXPECT_EQ(script_->deviceClears, 1) << "a failed poll clears the device";
  ASSERT_EQ(driver_->put_QueryInstrumentStatus(VARIANT_FALSE), S_OK);
  EXPECT_EQ(driver_->PollInstrumentErrors(), S_OK);
}

TEST_F(DriverTest, InstrumentSelfTestAndErrorQuery) {
  ASSERT_EQ(Init(L"QueryInstrStatus=true"), S_OK);
  script_->replies["*TST?"] = "3";
  script_->replies[":SYST:ERR?"] = "-100,\"Command error\"";
  std::int32_t number = 0;
  Bstr text;
  ASSERT_EQ(driver_->SelfTest(&number, text.Out()), S_OK);
  EXPECT_EQ(number, 3);
  EXPECT_EQ(Text(text), "Selftest failed");

  const std::size_t sent = script_->written.size();
  ASSERT_EQ(driver_->ErrorQuery(&number, text.Out()), S_OK);
  EXPECT_EQ(number, -100);
  EXPECT_EQ(Text(text), "Command error");
  EXPECT_EQ(script_->written.size(), sent + 1) << "no status poll inside the error query";
  EXPECT_TRUE(Setting(&HalvornZelta::get_QueryInstrumentStatus)) << "polling restored";

  script_->replies[":SYST:ERR?"] = "garbage";
  EXPECT_EQ(driver_->ErrorQuery(&number, text.Out()), E_IVI_UNEXPECTED_RESPONSE);
}

TEST(ErrorInformation, IsKeptPerThread) {
  ComPtr<IHalvornZelta> driver;
  ASSERT_EQ(CreateHalvornZelta(IHalvornZelta::kIid, reinterpret_cast<void**>(driver.Out())), S_OK);
  EXPECT_EQ(driver->Close(), E_IVI_NOT_INITIALIZED);
  std::wstring otherThreadSaw = L"unset";
  std::thread([&] {
    otherThreadSaw = PeekErrorInfo() ? PeekErrorInfo()->description : L"";
    Bstr bad(L"x");
    Bstr options(L"Simulate=maybe");
    driver->Initialize(bad.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get());
  }).join();
  EXPECT_EQ(otherThreadSaw, L"");
  EXPECT_EQ(LastError(), "HalvornZelta: A connection to the instrument has not been established.");
  ErrorInfo taken;
  EXPECT_TRUE(GetErrorInfo(taken));
  EXPECT_FALSE(GetErrorInfo(taken)) << "getting the record clears it";
}

TEST(DriverObject, HandsOutItsInterfacesWithOneIdentity) {
  ComPtr<IIviDriver> driver;
  ASSERT_EQ(CreateHalvornZelta(IIviDriver::kIid, reinterpret_cast<void**>(driver.Out())), S_OK);
  ComPtr<IIviDriverIdentity> identity;
  ASSERT_EQ(driver.As(identity), S_OK);
  ComPtr<IUnknown> unknownA;
  ComPtr<IUnknown> unknownB;
  ASSERT_EQ(driver.As(unknownA), S_OK);
  ASSERT_EQ(identity.As(unknownB), S_OK);
  EXPECT_EQ(unknownA.Get(), unknownB.Get());
  ComPtr<IIviDriverOperation> operation;
  ASSERT_EQ(driver->get_DriverOperation(operation.Out()), S_OK);
  void* nothing = &driver;
  EXPECT_EQ(driver->QueryInterface(GUID{1, 2, 3, {}}, &nothing), E_NOINTERFACE);
  EXPECT_EQ(nothing, nullptr);
  EXPECT_EQ(CreateHalvornZelta(IIviDriver::kIid, nullptr), E_POINTER);
}

}  // namespace
}  // namespace hvzelta
