// Every member of the instrument model against a stand-in instrument on a
// real socket: the exact command lines it sends and how it reads replies.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <type_traits>

#include "acpwr/halvorn_zelta.h"
#include "support/error_text.h"
#include "support/scripted_instrument.h"

namespace hvzelta {
namespace {

using Lines = std::vector<std::string>;

using testing::LastError;

class InstrumentMembersTest : public ::testing::Test {
 public:
  void SetUp() override {
    instrument_.Answer("*IDN?", "Halvorn,ZTA200,SN42,2.01");
    const std::string resource = instrument_.Resource();
    Bstr name(std::wstring(resource.begin(), resource.end()));
    Bstr options(L"");
    ASSERT_EQ(driver_->Initialize(name.Get(), VARIANT_TRUE, VARIANT_FALSE, options.Get()), S_OK) << LastError();
    Bstr any;
    ComPtr<IHalvornZeltaOutputs> outputs;
    ASSERT_EQ(driver_->get_Outputs(outputs.Out()), S_OK);
    ASSERT_EQ(outputs->get_Item(any.Get(), output_.Out()), S_OK);
    ASSERT_EQ(driver_->get_OutputPhases(phases_.Out()), S_OK);
    ASSERT_EQ(phases_->get_Item(any.Get(), phase_.Out()), S_OK);
    ASSERT_EQ(driver_->get_Trigger(trigger_.Out()), S_OK);
    ASSERT_EQ(driver_->get_Memory(memory_.Out()), S_OK);
    ASSERT_EQ(driver_->get_System(system_.Out()), S_OK);
    EXPECT_EQ(instrument_.TakeReceived(), Lines{"*IDN?"});
  }

  // What the instrument received up to now: a direct round trip after the
  // command ensures every earlier line has arrived.
  Lines SentSoFar() {
    Bstr ping(L"*OPC?\n");
    Bstr reply;
    EXPECT_EQ(system_->WriteString(ping.Get()), S_OK);
    EXPECT_EQ(system_->ReadString(reply.Out()), S_OK);
    Lines lines = instrument_.TakeReceived();
    EXPECT_FALSE(lines.empty());
    if (!lines.empty()) lines.pop_back();
    return lines;
  }

  testing::ScriptedInstrument instrument_;
  ComPtr<HalvornZelta> driver_ = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  ComPtr<IHalvornZeltaOutput> output_;
  ComPtr<IIviACPwrOutputPhases> phases_;
  ComPtr<IIviACPwrOutputPhase> phase_;
  ComPtr<IHalvornZeltaTrigger> trigger_;
  ComPtr<IHalvornZeltaMemory> memory_;
  ComPtr<IHalvornZeltaSystem> system_;
  VisaStatusCode status_ = VisaStatusSuccess;

  IHalvornZeltaOutput& Out() { return *output_.Get(); }
  IIviACPwrOutputPhase& Phase() { return *phase_.Get(); }

  template <class T, class Object>
  double Read(Object& object, HRESULT (Object::*getter)(T*)) {
    T value{};
    EXPECT_EQ((object.*getter)(&value), S_OK) << LastError();
    return static_cast<double>(value);
  }
};

// A call of one of the output's setters, for a table of cases.
template <class T>
std::function<HRESULT(InstrumentMembersTest&)> Put(HRESULT (IHalvornZeltaOutput::*setter)(T),
                                                   std::type_identity_t<T> value) {
  return [=](InstrumentMembersTest& t) { return (t.Out().*setter)(value); };
}

struct CommandCase {
  std::function<HRESULT(InstrumentMembersTest&)> call;
  Lines sent;
  HRESULT result = S_OK;
};

TEST_F(InstrumentMembersTest, EachSetterAndActionSendsItsCommandLine) {
  using O = IHalvornZeltaOutput;
  const CommandCase cases[] = {
      {Put(&O::put_VoltageLevel, 100), {"VOLT 100"}},
      {Put(&O::put_Frequency, 50.5), {"FREQ 50.5"}},
      {Put(&O::put_VoltageRange, 200), {"VOLT:RANG 200"}},
      {Put(&O::put_VoltageOffset, -1.25), {"VOLT:OFFS -1.25"}},
      {Put(&O::put_CurrentLimit, 2.5), {"CURR 2.5"}},
      {Put(&O::put_CurrentOffset, 0.1), {"CURR:OFFS 0.1"}},
      {Put(&O::put_CouplingMode, HalvornZeltaCouplingModeExternalDC), {"OUTP:COUP EXTDC"}},
      {Put(&O::put_CurrentLimitBehavior, HalvornZeltaCurrentLimitBehaviorTrip), {"CURR:PROT:STAT 1"}},
      {Put(&O::put_Enabled, VARIANT_TRUE), {"OUTP 1"}},
      {Put(&O::put_Enabled, VARIANT_FALSE), {"OUTP 0"}},
      {Put(&O::put_SyncEnabled, VARIANT_TRUE), {"TRIG:SYNC:SOUR PHAS"}},
      {Put(&O::put_SyncPhase, 90), {"TRIG:SYNC:PHAS 90"}},
      {Put(&O::put_TriggeredVoltageLevel, 230), {"VOLT:TRIG 230"}},
      {Put(&O::put_TriggeredVoltageOffset, 1), {"VOLT:OFFS:TRIG 1"}},
      {Put(&O::put_TriggeredFrequency, 60), {"FREQ:TRIG 60"}},
      {Put(&O::put_TriggerSource, HalvornZeltaTriggerSourceSwTrigFunc), {"TRIG:TRAN:SOUR BUS"}},
      {Put(&O::put_TriggerTransientSource, HalvornZeltaTriggerSourceImmediate), {"TRIG:TRAN:SOUR IMM"}},
      {Put(&O::put_TriggerAcquireSource, HalvornZeltaTriggerSourceSwTrigFunc), {"TRIG:ACQ:SOUR BUS"}},
      {Put(&O::put_ContinuousMeasurement, VARIANT_TRUE), {"INIT:CONT:ACQ 1"}},
      {Put(&O::put_AmmeterItem, HalvornZeltaAmmeterItemWattage), {"DISP:AMM WATT"}},
      {Put(&O::put_Average, HalvornZeltaAverage_16), {"SENS:AVER 16"}},
      {Put(&O::put_Average, HalvornZeltaAverageEnum(3)), {}},  // not a count
      {Put(&O::put_HoldTime, HalvornZeltaHoldTimeShort), {"SENS:CURR:HOLD SHOR"}},
      {Put(&O::put_AverageEnabled, VARIANT_TRUE), {}},  // nothing to send
      {[](auto& t) { return t.Out().ResetOutputProtection(&t.status_); }, {"OUTP:PROT:CLE"}},
      {[](auto& t) { return t.Out().ResetCurrentMaxHold(&t.status_); }, {"SENS:CURR:HOLD:CLE"}},
      {[](auto& t) { return t.Out().InitiateMeasurement(&t.status_); }, {"INIT:ACQ"}},
      {[](auto& t) { return t.trigger_->Abort(&t.status_); }, {"ABOR"}},
      {[](auto& t) { return t.trigger_->Initiate(&t.status_); }, {"INIT:TRAN"}},
      {[](auto& t) { return t.trigger_->SendSoftwareTrigger(&t.status_); }, {"*TRG"}},
      {[](auto& t) { return t.memory_->Store(3); }, {"*SAV 3"}},
      {[](auto& t) { return t.memory_->Recall(-1); }, {"*RCL -1"}},
      {[](auto& t) { return t.Phase().put_VoltageRange(155); }, {"VOLT:RANG 155"}},
      {[](auto& t) { return t.Phase().put_VoltageRange(155.5); }, {"VOLT:RANG 310"}},
      {[](auto& t) { return t.Phase().put_VoltageRange(310.1); }, {}, E_INVALIDARG},
      {[](auto& t) { return t.Phase().put_VoltageRange(-1); }, {}, E_INVALIDARG},
      {[](auto& t) { return t.Phase().put_VoltageLevel(120); }, {"VOLT 120"}},
      {[](auto& t) { return t.Phase().put_CurrentLimit(3); }, {"CURR 3"}},
      {[](auto& t) { return t.Phase().put_PhaseAngle(30); }, {"TRIG:SYNC:PHAS 30"}},
      {[](auto& t) { return t.Phase().put_Enabled(VARIANT_TRUE); }, {"OUTP 1"}},
      {[](auto& t) { return t.phases_->put_Frequency(50); }, {"FREQ 50"}},
      {[](auto& t) { return t.phases_->put_FrequencyRange(40); }, {}},  // nothing to send
      {[](auto& t) { return t.phases_->put_FrequencyRange(39.9); }, {}, E_INVALIDARG},
  };
  status_ = VisaStatusCode(5);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].call(*this), cases[i].result) << "case " << i << ": " << LastError();
    EXPECT_EQ(SentSoFar(), cases[i].sent) << "case " << i;
  }
  EXPECT_EQ(status_, VisaStatusSuccess) << "methods hand back the VISA status";
}

TEST_F(InstrumentMembersTest, GettersReadTheirReplies) {
  using O = IHalvornZeltaOutput;
  const struct {
    const char* query;
    const char* reply;
    std::function<double()> read;
    double expected;
  } cases[] = {
      {"VOLT?", "+1.00000000E+02", [&] { return Read(Out(), &O::get_VoltageLevel); }, 100},
      {"CURR?", "2.5", [&] { return Read(Out(), &O::get_CurrentLimit); }, 2.5},
      {"OUTP:COUP?", "EXTAC", [&] { return Read(Out(), &O::get_CouplingMode); }, HalvornZeltaCouplingModeExternalAC},
      {"OUTP?", "1", [&] { return Read(Out(), &O::get_Enabled); }, VARIANT_TRUE},
      {"TRIG:SYNC:SOUR?", "IMM", [&] { return Read(Out(), &O::get_SyncEnabled); }, VARIANT_FALSE},
      {"TRIG:TRAN:SOUR?", "BUS", [&] { return Read(Out(), &O::get_TriggerTransientSource); },
       HalvornZeltaTriggerSourceSwTrigFunc},
      {"VOLT:RANG?", "310", [&] { return Read(Phase(), &IIviACPwrOutputPhase::get_VoltageRange); }, 310},
      {"DISP:AMM?", "RMS2", [&] { return Read(Out(), &O::get_AmmeterItem); }, 1},
      {"DISP:AMM?", "WATT", [&] { return Read(Out(), &O::get_AmmeterItem); }, 3},
      {"SENS:AVER?", "3", [&] { return Read(Out(), &O::get_Average); }, 1},
      {"SENS:AVER?", "+4.0E+00", [&] { return Read(Out(), &O::get_Average); }, 4},
      {"SENS:CURR:HOLD?", "SHOR", [&] { return Read(Out(), &O::get_HoldTime); }, 0},
      {"SENS:CURR:HOLD?", "LONG", [&] { return Read(Out(), &O::get_HoldTime); }, 1},
      {"SENS:CURR:HOLD?", "long", [&] { return Read(Out(), &O::get_HoldTime); }, 0},
  };
  for (const auto& c : cases) {
    instrument_.Answer(c.query, c.reply);
    EXPECT_EQ(c.read(), c.expected) << c.query << " " << c.reply;
    EXPECT_EQ(instrument_.TakeReceived(), Lines{c.query});
  }
}

TEST_F(InstrumentMembersTest, ClassMembersWithAnInstrument) {
  double minimum = 0;
  double maximum = 0;
  instrument_.Answer("FREQ? Min", "45");
  instrument_.Answer("FREQ? Max", "450");
  ASSERT_EQ(phases_->QueryFrequencyRangeCapabilities(1, &minimum, &maximum), S_OK);
  EXPECT_EQ(minimum, 45.0);
  EXPECT_EQ(maximum, 450.0);
  EXPECT_EQ(phases_->QueryFrequencyRangeCapabilities(2, &minimum, &maximum), E_INVALIDARG);
  Bstr waveform;
  ASSERT_EQ(phase_->get_Waveform(waveform.Out()), S_OK);
  EXPECT_EQ(waveform.View(), L"Sign");
  Bstr lower(L"sign");
  EXPECT_EQ(phase_->put_Waveform(lower.Get()), E_ACCESSDENIED);
  ComPtr<IIviACPwrCurrentProtection> protection;
  ASSERT_EQ(phase_->get_CurrentProtection(protection.Out()), S_OK);
  double delay = 0;
  EXPECT_EQ(protection->get_Delay(&delay), E_IVI_PROPERTY_NOT_SUPPORTED);
  EXPECT_EQ(LastError(), "HalvornZelta: Does not support this class-compliant feature: property 'Delay'.");
  EXPECT_EQ(instrument_.TakeReceived(), (Lines{"FREQ? Min", "FREQ? Max"}));
}

// A failed reset still forgets cached values; ResetWithDefaults keeps the settings it did not get to.
TEST_F(InstrumentMembersTest, StalledCallsFailCleanlyAndResetLikeOnesWaitTwoSeconds) {
  ASSERT_EQ(system_->put_IOTimeout(200), S_OK);
  instrument_.Silence("FREQ? MIN");
  double minimum = 1;
  double maximum = 2;
  EXPECT_EQ(output_->QueryFrequencyMinMax(&minimum, &maximum, &status_), E_HALVORNZELTA_IO_TIMEOUT);
  EXPECT_EQ(maximum, 2.0);
  EXPECT_EQ(instrument_.TakeReceived(), (Lines{"FREQ? MIN"})) << "no MAX query after a failed MIN";
  std::int32_t timeout = 0;
  ASSERT_EQ(system_->get_IOTimeout(&timeout), S_OK);
  EXPECT_EQ(timeout, 200);
  EXPECT_EQ(system_->put_IOTimeout(-5), E_IVI_INVALID_VALUE) << "only -1 means no limit";

  // Simulation switched on later shuts the timeout off like every system member.
  ASSERT_EQ(driver_->put_Simulate(VARIANT_TRUE), S_OK);
  EXPECT_EQ(system_->put_IOTimeout(5000), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_EQ(system_->get_IOTimeout(&timeout), E_HALVORNZELTA_IO_GENERAL);
  ASSERT_EQ(driver_->put_Simulate(VARIANT_FALSE), S_OK);

  ASSERT_EQ(driver_->put_RangeCheck(VARIANT_FALSE), S_OK);
  ASSERT_EQ(output_->put_VoltageLevel(100), S_OK);
  instrument_.Silence("*RST;*OPC?");
  instrument_.Silence("*TST?");
  std::int32_t result = 0;
  Bstr message;
  const std::pair<const char*, std::function<HRESULT()>> calls[] = {
      {"Reset", [&] { return driver_->Reset(); }},
      {"ResetWithDefaults", [&] { return driver_->ResetWithDefaults(); }},
      {"Disable", [&] { return driver_->Disable(); }},
      {"SelfTest", [&] { return driver_->SelfTest(&result, message.Out()); }},
  };
  for (const auto& [name, call] : calls) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(call(), E_HALVORNZELTA_IO_TIMEOUT) << name;
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900)) << name;
    ASSERT_EQ(system_->get_IOTimeout(&timeout), S_OK);
    EXPECT_EQ(timeout, 200) << name;
  }
  VARIANT_BOOL rangeCheck = VARIANT_TRUE;
  ASSERT_EQ(driver_->get_RangeCheck(&rangeCheck), S_OK);
  EXPECT_EQ(rangeCheck, VARIANT_FALSE);
  instrument_.TakeReceived();
  double level = 0;
  ASSERT_EQ(output_->get_VoltageLevel(&level), S_OK);
  EXPECT_EQ(instrument_.TakeReceived(), Lines{"VOLT?"}) << "the cached 100 V went with the reset";
}

// Switching polls on starts them from a clean status; a failed ErrorQuery
// hands polling back; simulation switched off again talks to the instrument.
TEST_F(InstrumentMembersTest, StatusPollingAndSimulationSwitchedOnAnInstrumentSession) {
  ASSERT_EQ(driver_->put_QueryInstrumentStatus(VARIANT_TRUE), S_OK);
  EXPECT_EQ(SentSoFar(), (Lines{"*CLS", "*ESR?"}));
  instrument_.Answer(":SYST:ERR?", "no number");
  std::int32_t code = 0;
  Bstr message;
  EXPECT_EQ(driver_->ErrorQuery(&code, message.Out()), E_IVI_UNEXPECTED_RESPONSE);
  instrument_.TakeReceived();
  ASSERT_EQ(output_->put_CurrentLimit(2), S_OK);
  EXPECT_EQ(SentSoFar(), (Lines{"CURR 2", "*ESR?"}));

  ASSERT_EQ(driver_->put_Simulate(VARIANT_TRUE), S_OK);
  ASSERT_EQ(output_->put_CurrentLimit(3), S_OK);
  ASSERT_EQ(driver_->put_Simulate(VARIANT_FALSE), S_OK);
  EXPECT_EQ(SentSoFar(), Lines{}) << "nothing reaches the instrument while simulating";
  ASSERT_EQ(output_->put_CurrentLimit(4), S_OK);
  EXPECT_EQ(SentSoFar(), (Lines{"CURR 4", "*ESR?"}));
}

TEST_F(InstrumentMembersTest, AnEnumTypeWithoutAConverterIsRefusedByName) {
  std::string word;
  std::int32_t value = 0;
  const std::string refusal = "HalvornZelta: Unrecoverable failure.\r\nUnrecognized enum name 'NoSuchEnum'.";
  EXPECT_EQ(driver_->FormatEnum("NoSuchEnum", 1, word), E_IVI_CANNOT_RECOVER);
  EXPECT_EQ(LastError(), refusal);
  EXPECT_EQ(driver_->ParseEnum("NoSuchEnum", "ON", value), E_IVI_CANNOT_RECOVER);
  EXPECT_EQ(LastError(), refusal);
}

}  // namespace
}  // namespace hvzelta
