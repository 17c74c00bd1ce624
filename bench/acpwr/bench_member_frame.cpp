// What the object interface costs a test program on its own: a simulated
// property set and read back, against one snprintf("%.15g") in the same run.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "acpwr/halvorn_zelta.h"
#include "support/ratio_runner.h"

namespace hvzelta {
namespace {

void BM_SnprintfReal(benchmark::State& state) {
  char text[64];
  double value = 230.5;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%.15g", value));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SnprintfReal);

void SimulatedSetThenGet(benchmark::State& state, const wchar_t* optionString) {
  auto driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  Bstr resource(L"TCPIP::127.0.0.1::5025::SOCKET");
  Bstr options(optionString);
  driver->Initialize(resource.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get());
  ComPtr<IHalvornZeltaOutputs> outputs;
  driver->get_Outputs(outputs.Out());
  ComPtr<IHalvornZeltaOutput> output;
  Bstr any;
  outputs->get_Item(any.Get(), output.Out());
  double level = 0;
  for (auto _ : state) {
    output->put_VoltageLevel(230.5);
    output->get_VoltageLevel(&level);
    benchmark::DoNotOptimize(level);
  }
  driver->Close();
}

void BM_SimulatedSetThenGet(benchmark::State& state) { SimulatedSetThenGet(state, L"Simulate=true"); }
BENCHMARK(BM_SimulatedSetThenGet);

// Every call traced into a file that is saved once a minute; each record is
// in the file (the page cache) before its call returns.
void BM_TracedSetThenGet(benchmark::State& state) {
  const std::string name = "/tmp/hvzelta-bench-trace-" + std::to_string(::getpid());
  const std::wstring options = L"Simulate=true, DriverSetup=Trace=true, TraceSizeMax=2000000000, TraceName=" +
                               std::wstring(name.begin(), name.end());
  SimulatedSetThenGet(state, options.c_str());
  std::remove((name + ".xml").c_str());
}
BENCHMARK(BM_TracedSetThenGet);

}  // namespace
}  // namespace hvzelta

int main(int argc, char** argv) {
  using hvzelta::bench::Goal;
  using hvzelta::bench::Medians;
  return hvzelta::bench::RunWithRatios(
      argc, argv,
      {{"object interface: simulated put + get VoltageLevel / snprintf(\"%.15g\")", "BM_SimulatedSetThenGet",
        "BM_SnprintfReal", Goal::AtMost(2)},
       {"object interface: traced simulated put + get / untraced", "BM_TracedSetThenGet", "BM_SimulatedSetThenGet",
        Goal::AtMost(10)}},
      [](Medians& medians) {
        // A put and a get are two records; shown in the main table, beside
        // the ratio it explains.
        const char* figure = "trace: cost of one record (traced - untraced) / 2";
        if (!medians.count("BM_TracedSetThenGet") || !medians.count("BM_SimulatedSetThenGet")) {
          hvzelta::bench::PrintNotMeasured(figure, Goal::Report());
          return;
        }
        const double perRecord = (medians["BM_TracedSetThenGet"] - medians["BM_SimulatedSetThenGet"]) / 2;
        hvzelta::bench::PrintRow(hvzelta::bench::Row::kResult, figure, hvzelta::bench::Duration(perRecord), "-", "-",
                                 "report", "-");
      });
}
