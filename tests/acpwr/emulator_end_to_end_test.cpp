// A real test sequence through the object interface against the emulated
// instrument: configure, enable, trigger a transient, measure everything,
// check the instrument's error queue.

#include <gtest/gtest.h>

#include <cmath>

#include "acpwr/halvorn_zelta.h"
#include "hvzelta/com/error_info.h"
#include "zta_sim/emulator.h"

namespace hvzelta {
namespace {

std::string LastError() {
  const ErrorInfo* info = PeekErrorInfo();
  return info ? std::string(info->description.begin(), info->description.end()) : "";
}

class EmulatorEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zta_sim::Options options;
    options.model = zta_sim::Model::ZTA300;
    options.load.resistanceOhm = 46.0;
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

  double Measure(HalvornZeltaMeasurementTypeEnum type) {
    double value = NAN;
    VisaStatusCode status{};
    EXPECT_EQ(output_->Measure(type, &value, &status), S_OK) << type << ": " << LastError();
    return value;
  }

  std::unique_ptr<zta_sim::Emulator> emulator_;
  ComPtr<HalvornZelta> driver_ = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  ComPtr<IHalvornZeltaOutput> output_;
};

TEST_F(EmulatorEndToEndTest, ConfigureEnableTriggerAndMeasure) {
  Bstr model;
  ASSERT_EQ(driver_->get_InstrumentModel(model.Out()), S_OK);
  EXPECT_EQ(model.View(), L"ZTA300");

  ASSERT_EQ(output_->put_VoltageRange(310), S_OK) << LastError();
  ASSERT_EQ(output_->put_VoltageLevel(230), S_OK) << LastError();
  ASSERT_EQ(output_->put_Frequency(50), S_OK) << LastError();
  ASSERT_EQ(output_->put_CurrentLimit(10), S_OK) << LastError();
  ASSERT_EQ(output_->put_CouplingMode(HalvornZeltaCouplingModeAC), S_OK) << LastError();
  ASSERT_EQ(output_->put_Enabled(VARIANT_TRUE), S_OK) << LastError();
  VARIANT_BOOL enabled = VARIANT_FALSE;
  ASSERT_EQ(output_->get_Enabled(&enabled), S_OK);
  EXPECT_EQ(enabled, VARIANT_TRUE);

  // All thirteen quantities, consistent with a 46 ohm resistive load.
  const double volts = Measure(HalvornZeltaMeasurementTypeVoltageAC);
  const double amps = Measure(HalvornZeltaMeasurementTypeCurrentAC);
  const double watts = Measure(HalvornZeltaMeasurementTypePowerAC);
  const double voltAmps = Measure(HalvornZeltaMeasurementTypeACApparent);
  const double vars = Measure(HalvornZeltaMeasurementTypePowerACReactive);
  const double powerFactor = Measure(HalvornZeltaMeasurementTypeACPowerFactor);
  const double crest = Measure(HalvornZeltaMeasurementTypeCurrentCrestFactor);
  const double peak = Measure(HalvornZeltaMeasurementTypeCurrentMax);
  const double peakHold = Measure(HalvornZeltaMeasurementTypeCurrentMaxHold);
  const double hertz = Measure(HalvornZeltaMeasurementTypeFrequency);
  const double dcVolts = Measure(HalvornZeltaMeasurementTypeVoltageDC);
  const double dcAmps = Measure(HalvornZeltaMeasurementTypeCurrentDC);
  const double dcWatts = Measure(HalvornZeltaMeasurementTypePowerDC);
  EXPECT_NEAR(volts, 230.0, 0.5);
  EXPECT_NEAR(amps, 230.0 / 46.0, 0.01);
  EXPECT_NEAR(hertz, 50.0, 0.01);
  EXPECT_NEAR(watts, volts * amps * powerFactor, 0.01 * watts);
  EXPECT_NEAR(voltAmps, volts * amps, 0.01 * voltAmps);
  EXPECT_NEAR(vars, std::sqrt(std::max(0.0, voltAmps * voltAmps - watts * watts)), 0.01 * voltAmps + 0.01);
  EXPECT_NEAR(powerFactor, 1.0, 0.01);
  EXPECT_NEAR(crest, std::sqrt(2.0), 0.01);
  EXPECT_NEAR(peak, amps * crest, 0.01 * peak);
  EXPECT_GE(peakHold, peak - 1e-9);
  EXPECT_NEAR(dcVolts, 0.0, 0.01);
  EXPECT_NEAR(dcAmps, 0.0, 0.01);
  EXPECT_NEAR(dcWatts, 0.0, 0.01);

  // A transient to the triggered values on a software trigger.
  ASSERT_EQ(output_->put_TriggeredVoltageLevel(120), S_OK) << LastError();
  ASSERT_EQ(output_->put_TriggeredFrequency(60), S_OK) << LastError();
  ASSERT_EQ(output_->put_TriggerTransientSource(HalvornZeltaTriggerSourceSwTrigFunc), S_OK) << LastError();
  ComPtr<IHalvornZeltaTrigger> trigger;
  ASSERT_EQ(driver_->get_Trigger(trigger.Out()), S_OK);
  VisaStatusCode status{};
  ASSERT_EQ(trigger->Initiate(&status), S_OK) << LastError();
  ASSERT_EQ(trigger->SendSoftwareTrigger(&status), S_OK) << LastError();
  double level = 0;
  ASSERT_EQ(output_->get_VoltageLevel(&level), S_OK);
  EXPECT_EQ(level, 120.0);
  EXPECT_NEAR(Measure(HalvornZeltaMeasurementTypeFrequency), 60.0, 0.01);

  // A rejected value surfaces through the status poll and the error queue.
  EXPECT_EQ(output_->put_Frequency(1000), E_IVI_INSTRUMENT_STATUS);
  std::int32_t code = 0;
  Bstr message;
  ASSERT_EQ(driver_->ErrorQuery(&code, message.Out()), S_OK);
  EXPECT_EQ(code, -222);
  EXPECT_EQ(message.View(), L"Data out of range");
  ASSERT_EQ(driver_->ErrorQuery(&code, message.Out()), S_OK);
  EXPECT_EQ(code, 0);
  ASSERT_EQ(driver_->Close(), S_OK);
}

// The questionable bits no output condition of the emulator raises are
// raised the way a hardware fault would, one row at a time.
TEST_F(EmulatorEndToEndTest, QueryStateReadsTheQuestionableBitsFaultsRaise) {
  ComPtr<IHalvornZeltaSystem> system;
  ASSERT_EQ(driver_->get_System(system.Out()), S_OK);
  const auto raise = [&](const wchar_t* mask) {
    Bstr command(std::wstring(L"DIAG:QUES ") + mask + L"\n");
    ASSERT_EQ(system->WriteString(command.Get()), S_OK) << LastError();
  };
  for (const auto& [state, mask] : {std::pair{HalvornZeltaOutputStateOverVoltage, L"1"},
                                    std::pair{HalvornZeltaOutputStateDSPError, L"1"},
                                    std::pair{HalvornZeltaOutputStatePowerOverload, L"1"},
                                    std::pair{HalvornZeltaOutputStateOverTemperature, L"16"},
                                    std::pair{HalvornZeltaOutputStateUnregulated, L"256"}}) {
    raise(L"0");
    VARIANT_BOOL bit = 7;
    VisaStatusCode status{};
    ASSERT_EQ(output_->QueryState(state, &bit, &status), S_OK) << LastError();
    EXPECT_EQ(bit, 0) << state;
    raise(mask);
    ASSERT_EQ(output_->QueryState(state, &bit, &status), S_OK) << LastError();
    EXPECT_EQ(bit, 1) << state;
  }
}

}  // namespace
}  // namespace hvzelta
