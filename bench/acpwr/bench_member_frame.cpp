// What the object interface costs a test program on its own: a simulated
// property set and read back, against one snprintf("%.15g") in the same run.

#include <cstdio>

#include "acpwr/halvorn_zelta.h"
#include "support/ratio_runner.h"

namespace hvzelta {
namespace {

void BM_SnprintfReal(benchmark::State& state) {
  char text[64];
  double value = 229.99999999999997;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%.15g", value));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SnprintfReal);

void BM_SimulatedSetThenGet(benchmark::State& state) {
  auto driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  Bstr resource(L"TCPIP::127.0.0.1::5025::SOCKET");
  Bstr options(L"Simulate=true");
  driver->Initialize(resource.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get());
  ComPtr<IHalvornZeltaOutputs> outputs;
  driver->get_Outputs(outputs.Out());
  ComPtr<IHalvornZeltaOutput> output;
  Bstr any;
  outputs->get_Item(any.Get(), output.Out());
  double level = 0;
  for (auto _ : state) {
    output->put_VoltageLevel(229.99999999999997);
    output->get_VoltageLevel(&level);
    benchmark::DoNotOptimize(level);
  }
}
BENCHMARK(BM_SimulatedSetThenGet);

}  // namespace
}  // namespace hvzelta

int main(int argc, char** argv) {
  return hvzelta::bench::RunWithRatios(
      argc, argv, {{"simulated put_VoltageLevel + get_VoltageLevel / snprintf(\"%.15g\")", "BM_SimulatedSetThenGet",
                    "BM_SnprintfReal", "<= 2"}});
}
