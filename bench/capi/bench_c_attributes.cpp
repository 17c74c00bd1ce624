// What the C interface costs a test program: an attribute set and read back
// on a simulated session, through the session lookup, the attribute dispatch
// and the channel name, against one snprintf("%.15g") in the same run.

#include <cstdio>

#include "hvzelta.h"
#include "support/ratio_runner.h"

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

void BM_CSetThenGetReal64(benchmark::State& state) {
  ViSession vi = VI_NULL;
  if (hvzelta_InitWithOptions("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, "Simulate=true", &vi) != 0) {
    state.SkipWithError("the simulated session did not open");
    return;
  }
  ViReal64 level = 0;
  for (auto _ : state) {
    hvzelta_SetAttributeViReal64(vi, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, 229.99999999999997);
    hvzelta_GetAttributeViReal64(vi, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, &level);
    benchmark::DoNotOptimize(level);
  }
  hvzelta_close(vi);
}
BENCHMARK(BM_CSetThenGetReal64);

}  // namespace

int main(int argc, char** argv) {
  return hvzelta::bench::RunWithRatios(argc, argv,
                                       {{"C interface: simulated Set + GetAttributeViReal64 / snprintf(\"%.15g\")",
                                         "BM_CSetThenGetReal64", "BM_SnprintfReal", hvzelta::bench::Goal::AtMost(4)}});
}
