// A real test sequence through the object interface against the emulated
// instrument: configure, enable, measure everything, read every state.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "acpwr/halvorn_zelta.h"
#include "support/error_text.h"
#include "zta_sim/emulator.h"

namespace hvzelta {
namespace {

using testing::LastError;

class EmulatorEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zta_sim::Options options;
    options.model = zta_sim::Model::ZTA300;
    options.load.resistanceOhm = 46.0;
    options.load.crestFactor = 3.0;
    emulator_ = std::make_unique<zta_sim::Emulator>(options);
    const zta_sim::Endpoints endpoints = emulator_->Start();
    const std::string resource = "TCPIP::127.0.0.1::" + std::to_string(endpoints.socketPort) + "::SOCKET";
    Bstr name(std::wstring(resource.begin(), resource.end()));
    Bstr setup(L"QueryInstrStatus=true");
    ASSERT_EQ(driver_->Initialize(name.Get(), VARIANT_TRUE, VARIANT_TRUE, setup.Get()), S_OK) << LastError();
    ComPtr<IHalvornZeltaOutputs> outputs;
    ASSERT_EQ(driver_->get_Outputs(outputs.Out()), S_OK);
    Bstr first(L"Output1");
    ASSERT_EQ(outputs->get_Item(first.Get(), output_.Out()), S_OK);
  }

  // A new measurement, which a fetch of the same quantity then reads again.
  double Measure(HalvornZeltaMeasurementTypeEnum type) {
    double value = NAN;
    double fetched = NAN;
    VisaStatusCode status{};
    EXPECT_EQ(output_->Measure(type, &value, &status), S_OK) << type << ": " << LastError();
    EXPECT_EQ(output_->Fetch(type, &fetched, &status), S_OK) << type << ": " << LastError();
    EXPECT_EQ(fetched, value) << type;
    return value;
  }

  std::unique_ptr<zta_sim::Emulator> emulator_;
  ComPtr<HalvornZelta> driver_ = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  ComPtr<IHalvornZeltaOutput> output_;
};

TEST_F(EmulatorEndToEndTest, ConfigureEnableAndMeasure) {
  ASSERT_EQ(output_->put_VoltageRange(310), S_OK) << LastError();
  ASSERT_EQ(output_->put_VoltageLevel(230), S_OK) << LastError();
  ASSERT_EQ(output_->put_Frequency(50), S_OK) << LastError();
  ASSERT_EQ(output_->put_CurrentLimit(10), S_OK) << LastError();
  ASSERT_EQ(output_->put_CouplingMode(HalvornZeltaCouplingModeAC), S_OK) << LastError();
  ASSERT_EQ(output_->put_Enabled(VARIANT_TRUE), S_OK) << LastError();

  // Each of the thirteen quantities reaches its own command: 5 A through 46 ohm
  // with a crest factor of 3 gives each a value of its own.
  const std::pair<HalvornZeltaMeasurementTypeEnum, double> expected[] = {
      {HalvornZeltaMeasurementTypeVoltageAC, 230}, {HalvornZeltaMeasurementTypeCurrentAC, 5},
      {HalvornZeltaMeasurementTypeFrequency, 50},  {HalvornZeltaMeasurementTypeACApparent, 1150},
      {HalvornZeltaMeasurementTypePowerAC, 1150 * std::sqrt(2.0) / 3},
      {HalvornZeltaMeasurementTypePowerACReactive, 1150 * std::sqrt(7.0) / 3},
      {HalvornZeltaMeasurementTypeACPowerFactor, std::sqrt(2.0) / 3},
      {HalvornZeltaMeasurementTypeCurrentCrestFactor, 3},  {HalvornZeltaMeasurementTypeCurrentMax, 15},
      {HalvornZeltaMeasurementTypeCurrentMaxHold, 15},     {HalvornZeltaMeasurementTypeVoltageDC, 0},
      {HalvornZeltaMeasurementTypeCurrentDC, 0},           {HalvornZeltaMeasurementTypePowerDC, 0}};
  for (const auto& [type, value] : expected) EXPECT_NEAR(Measure(type), value, 1e-6 * std::max(1.0, value)) << type;

  ASSERT_EQ(driver_->Close(), S_OK);
}

// The questionable bits are raised the way a hardware fault would raise them.
TEST_F(EmulatorEndToEndTest, QueryStateReadsEveryStatesBit) {
  ComPtr<IHalvornZeltaSystem> system;
  ASSERT_EQ(driver_->get_System(system.Out()), S_OK);
  ComPtr<IHalvornZeltaTrigger> trigger;
  ASSERT_EQ(driver_->get_Trigger(trigger.Out()), S_OK);
  VisaStatusCode status{};
  const auto raise = [&](std::wstring mask) {
    Bstr command(L"DIAG:QUES " + mask + L"\n");
    return system->WriteString(command.Get());
  };
  const std::pair<HalvornZeltaOutputStateEnum, std::function<HRESULT()>> rows[] = {
      {HalvornZeltaOutputStateConstantVoltage, [&] { return output_->put_Enabled(VARIANT_TRUE); }},
      {HalvornZeltaOutputStateMeasuring, [&] { return output_->put_ContinuousMeasurement(VARIANT_TRUE); }},
      {HalvornZeltaOutputStateWaitingForTrigger,
       [&] {
         const HRESULT hr = output_->put_TriggerTransientSource(HalvornZeltaTriggerSourceSwTrigFunc);
         return Failed(hr) ? hr : trigger->Initiate(&status);
       }},
      {HalvornZeltaOutputStateOverVoltage, [&] { return raise(L"1"); }},
      {HalvornZeltaOutputStateDSPError, [&] { return raise(L"1"); }},
      {HalvornZeltaOutputStatePowerOverload, [&] { return raise(L"1"); }},
      {HalvornZeltaOutputStateOverCurrent, [&] { return raise(L"2"); }},
      {HalvornZeltaOutputStateOverTemperature, [&] { return raise(L"16"); }},
      {HalvornZeltaOutputStateOverPower, [&] { return raise(L"32"); }},
      {HalvornZeltaOutputStateUnregulated, [&] { return raise(L"256"); }},
      {HalvornZeltaOutputStateCurrentOverload, [&] { return raise(L"4096"); }},
      {HalvornZeltaOutputStateCurrentPkOverload, [&] { return raise(L"4096"); }},
  };
  for (const auto& [state, set] : rows) {
    ASSERT_EQ(driver_->Reset(), S_OK) << LastError();
    ASSERT_EQ(raise(L"0"), S_OK) << LastError();
    VARIANT_BOOL bit = 7;
    ASSERT_EQ(output_->QueryState(state, &bit, &status), S_OK) << LastError();
    EXPECT_EQ(bit, 0) << state;
    ASSERT_EQ(set(), S_OK) << state << ": " << LastError();
    ASSERT_EQ(output_->QueryState(state, &bit, &status), S_OK) << LastError();
    EXPECT_EQ(bit, 1) << state;
  }
}

TEST_F(EmulatorEndToEndTest, EveryMinMaxPairBracketsItsSetting) {
  using Query = HRESULT (IHalvornZeltaOutput::*)(double*, double*, VisaStatusCode*);
  for (const Query query : {&IHalvornZeltaOutput::QueryVoltageLevelMinMax, &IHalvornZeltaOutput::QueryVoltageOffsetMinMax,
                            &IHalvornZeltaOutput::QueryFrequencyMinMax, &IHalvornZeltaOutput::QueryCurrentLimitMinMax,
                            &IHalvornZeltaOutput::QueryCurrentOffsetMinMax}) {
    double minimum = NAN;
    double maximum = NAN;
    VisaStatusCode status{};
    ASSERT_EQ((output_.Get()->*query)(&minimum, &maximum, &status), S_OK) << LastError();
    EXPECT_LT(minimum, maximum);
  }
}

}  // namespace
}  // namespace hvzelta
