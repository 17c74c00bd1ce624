#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string_view>
#include <thread>
#include <utility>

#include "acpwr/halvorn_zelta.h"
#include "hvzelta/com/error_info.h"
#include "hvzelta/com/safearray.h"
#include "support/error_text.h"

namespace hvzelta {
namespace {

using testing::LastError;

// A driver initialized in simulation, with handles on the tree's interfaces.
class SimulatedTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Bstr resource(L"TCPIP::127.0.0.1::5025::SOCKET");
    Bstr options(L"Simulate=true");
    ASSERT_EQ(driver_->Initialize(resource.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get()), S_OK);
    ASSERT_EQ(driver_->get_Outputs(outputs_.Out()), S_OK);
    ASSERT_EQ(driver_->get_OutputPhases(phases_.Out()), S_OK);
    ASSERT_EQ(driver_->get_OutputPhases(classPhases_.Out()), S_OK);
    Bstr any;
    ASSERT_EQ(outputs_->get_Item(any.Get(), output_.Out()), S_OK);
    ASSERT_EQ(classPhases_->get_Item(any.Get(), phase_.Out()), S_OK);
  }

  ComPtr<HalvornZelta> driver_ = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  ComPtr<IHalvornZeltaOutputs> outputs_;
  ComPtr<IHalvornZeltaOutputPhases> phases_;
  ComPtr<IIviACPwrOutputPhases> classPhases_;
  ComPtr<IHalvornZeltaOutput> output_;
  ComPtr<IIviACPwrOutputPhase> phase_;
};

TEST_F(SimulatedTreeTest, CollectionsResolveNames) {
  std::int32_t count = 0;
  ASSERT_EQ(phases_->get_Count(&count), S_OK);
  EXPECT_EQ(count, 1);
  for (const wchar_t* name : {L"", L"   ", L"outputphase1", L" OutputPhase1 ", L"Phases!!OutputPhase1"}) {
    ComPtr<IHalvornZeltaOutputPhase> found;
    Bstr text(name);
    EXPECT_EQ(phases_->get_Item(text.Get(), found.Out()), S_OK) << std::string(name, name + wcslen(name));
  }
  ComPtr<IHalvornZeltaOutputPhase> none;
  Bstr wrong(L"OutputPhase2");
  EXPECT_EQ(phases_->get_Item(wrong.Get(), none.Out()), E_IVI_UNKNOWN_PHYSICAL_IDENTIFIER);
  EXPECT_EQ(LastError(), "HalvornZelta: Unknown physical repeated capability selector.");

  ComPtr<IHalvornZeltaOutput> output;
  Bstr outputName(L"OUTPUT1");
  EXPECT_EQ(outputs_->get_Item(outputName.Get(), output.Out()), S_OK);
  EXPECT_EQ(output.Get(), output_.Get()) << "the one output, whatever it is called";
  Bstr name;
  ASSERT_EQ(phases_->get_Name(1, name.Out()), S_OK);
  EXPECT_EQ(name.View(), L"OutputPhase1");
  ComPtr<IIviACPwrExternalSync> sync;
  EXPECT_EQ(classPhases_->get_ExternalSync(sync.Out()), S_OK);
}

TEST_F(SimulatedTreeTest, StoredSettingsComeBackUntilInvalidated) {
  ASSERT_EQ(output_->put_VoltageLevel(100), S_OK);
  ASSERT_EQ(output_->put_TriggerAcquireSource(HalvornZeltaTriggerSourceSwTrigFunc), S_OK);
  double level = 0;
  ASSERT_EQ(output_->get_VoltageLevel(&level), S_OK);
  EXPECT_EQ(level, 100.0);
  HalvornZeltaTriggerSourceEnum source{};
  ASSERT_EQ(output_->get_TriggerAcquireSource(&source), S_OK);
  EXPECT_EQ(source, HalvornZeltaTriggerSourceSwTrigFunc);

  ASSERT_EQ(driver_->InvalidateAllAttributes(), S_OK);
  ASSERT_EQ(output_->get_VoltageLevel(&level), S_OK);
  EXPECT_EQ(level, 0.0);

  ASSERT_EQ(phase_->put_VoltageLevel(120), S_OK);
  ASSERT_EQ(driver_->put_Cache(VARIANT_FALSE), S_OK);
  ASSERT_EQ(driver_->put_Cache(VARIANT_TRUE), S_OK);
  ASSERT_EQ(phase_->get_VoltageLevel(&level), S_OK);
  EXPECT_EQ(level, 0.0) << "turning the cache off empties every store";

  ASSERT_EQ(output_->put_SyncPhase(90), S_OK);
  ASSERT_EQ(driver_->Disable(), S_OK);
  ASSERT_EQ(output_->get_SyncPhase(&level), S_OK);
  EXPECT_EQ(level, 90.0) << "Disable keeps what Reset clears";
  ASSERT_EQ(driver_->Reset(), S_OK);
  ASSERT_EQ(output_->get_SyncPhase(&level), S_OK);
  EXPECT_EQ(level, 0.0);
}

TEST_F(SimulatedTreeTest, UnsupportedClassMethodsTraceTheirArguments) {
  const std::string file = ::testing::TempDir() + "hvzelta-unsupported-" + std::to_string(getpid()) + ".xml";
  ASSERT_EQ(driver_->Close(), S_OK);
  Bstr resource(L"TCPIP::127.0.0.1::5025::SOCKET");
  Bstr options(L"Simulate=true, DriverSetup=Trace=true, TraceArray=true, TraceName=" +
               std::wstring(file.begin(), file.end()));
  ASSERT_EQ(driver_->Initialize(resource.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get()), S_OK) << LastError();
  ComPtr<IIviACPwrCurrentProtection> current;
  ComPtr<IIviACPwrVoltageProtection> voltage;
  ComPtr<IIviACPwrImpedance> impedance;
  ComPtr<IIviACPwrDCGeneration> dc;
  ComPtr<IIviACPwrArbWaveform> arb;
  ComPtr<IIviACPwrExternalSync> sync;
  ASSERT_TRUE(phase_.As(current) == S_OK && phase_.As(voltage) == S_OK && phase_.As(impedance) == S_OK &&
              phase_.As(dc) == S_OK && driver_->get_ArbWaveform(arb.Out()) == S_OK && driver_.As(sync) == S_OK);
  Bstr name(L"wave1");
  SafeArrayPtr data(SafeArrayCreateVector(VT_R8, 0, 2));
  SAFEARRAY* handed = data.get();
  for (const HRESULT hr : {current->Configure(VARIANT_TRUE, 1.5, 2.5), voltage->Configure(VARIANT_TRUE, 0, 3.5, 4.5),
                           impedance->Configure(0, 5.5, 6.5), dc->Configure(IviACPwrDCGenerationEnum(1), 7.5),
                           dc->ConfigureRange(8.5, 9.5), arb->Clear(name.Get()), arb->Write(name.Get(), &handed),
                           sync->Configure(VARIANT_TRUE, 10.5)}) {
    EXPECT_EQ(hr, E_IVI_METHOD_NOT_SUPPORTED);
  }
  ASSERT_EQ(driver_->Close(), S_OK);
  std::ifstream stream(file);
  const std::string trace((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  std::remove(file.c_str());
  for (const char* parameter :
       {"\"Threshold\" Direction=\"In\" Value=\"1.5\"", "\"OverLimit\" Direction=\"In\" Value=\"4.5\"",
        "\"InductiveValue\" Direction=\"In\" Value=\"6.5\"", "\"Mode\" Direction=\"In\" Value=\"1\"",
        "\"Maximum\" Direction=\"In\" Value=\"9.5\"", "\"WaveformName\" Direction=\"In\" Value=\"wave1\"",
        "\"WaveformData\" Direction=\"In\" NumDims=\"1\"", "\"PhaseOffset\" Direction=\"In\" Value=\"10.5\""}) {
    EXPECT_NE(trace.find(parameter), std::string::npos) << parameter;
  }
}

// Direct quantities need a coupling that passes DC, alternating ones one that
// passes AC; frequency and the current peaks are measured in every coupling.
TEST_F(SimulatedTreeTest, CanMeasureFollowsTheCouplingTable) {
  constexpr HalvornZeltaCouplingModeEnum kCouplings[] = {
      HalvornZeltaCouplingModeAC, HalvornZeltaCouplingModeDC, HalvornZeltaCouplingModeACDC,
      HalvornZeltaCouplingModeExternalAC, HalvornZeltaCouplingModeExternalDC};
  constexpr std::string_view kDirect = "01101", kAlternating = "10111", kAny = "11111";
  const std::pair<HalvornZeltaMeasurementTypeEnum, std::string_view> rows[] = {
      {HalvornZeltaMeasurementTypeCurrentDC, kDirect},
      {HalvornZeltaMeasurementTypeVoltageDC, kDirect},
      {HalvornZeltaMeasurementTypePowerDC, kDirect},
      {HalvornZeltaMeasurementTypeFrequency, kAny},
      {HalvornZeltaMeasurementTypeCurrentMax, kAny},
      {HalvornZeltaMeasurementTypeCurrentMaxHold, kAny},
      {HalvornZeltaMeasurementTypeCurrentAC, kAlternating},
      {HalvornZeltaMeasurementTypeCurrentCrestFactor, kAlternating},
      {HalvornZeltaMeasurementTypeVoltageAC, kAlternating},
      {HalvornZeltaMeasurementTypePowerAC, kAlternating},
      {HalvornZeltaMeasurementTypeACApparent, kAlternating},
      {HalvornZeltaMeasurementTypePowerACReactive, kAlternating},
      {HalvornZeltaMeasurementTypeACPowerFactor, kAlternating},
      {HalvornZeltaMeasurementTypeEnum(77), "00000"},
  };
  for (const auto& [type, expected] : rows) {
    for (std::size_t i = 0; i < std::size(kCouplings); ++i) {
      VARIANT_BOOL state = 9;
      VisaStatusCode untouched = VisaStatusCode(7);
      ASSERT_EQ(output_->CanMeasure(type, kCouplings[i], &state, &untouched), S_OK);
      EXPECT_EQ(state, expected[i] == '1' ? 1 : 0) << type << " in " << kCouplings[i];
      EXPECT_EQ(untouched, 7);
    }
  }
  EXPECT_EQ(output_->CanMeasure(HalvornZeltaMeasurementTypeVoltageDC, HalvornZeltaCouplingModeAC, nullptr, nullptr),
            S_OK)
      << "always succeeds";
}

// Each object's lock keeps its own state consistent.
TEST_F(SimulatedTreeTest, RootAndOutputFromTwoThreads) {
  constexpr int kRounds = 2000;
  std::thread outputThread([&] {
    for (int i = 0; i < kRounds; ++i) {
      EXPECT_EQ(output_->put_VoltageLevel(i), S_OK);
      double level = -1;
      EXPECT_EQ(output_->get_VoltageLevel(&level), S_OK);
      EXPECT_TRUE(level == i || level == 0.0) << level;  // the root may invalidate in between
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    EXPECT_EQ(driver_->put_RangeCheck(ToVariantBool(i % 2 == 0)), S_OK);
    EXPECT_EQ(driver_->InvalidateAllAttributes(), S_OK);
    Bstr model;
    EXPECT_EQ(driver_->get_InstrumentModel(model.Out()), S_OK);
  }
  outputThread.join();
}

}  // namespace
}  // namespace hvzelta
