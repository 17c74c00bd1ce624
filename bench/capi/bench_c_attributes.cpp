// What the C interface costs a test program: an attribute set and read back
// on a simulated session, through the session lookup, the attribute dispatch
// and the channel name, against one snprintf("%.15g") in the same run.

#include <cstdio>

#include "hvzelta.h"
#include "support/instruction_counts.h"
#include "support/ratio_runner.h"

namespace {

constexpr const char* kFigure = "C interface: simulated Set + GetAttributeViReal64 / snprintf(\"%.15g\")";

bool SnprintfReal() {
  char text[64];
  double value = 229.99999999999997;
  benchmark::DoNotOptimize(value);
  benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%.15g", value));
  benchmark::ClobberMemory();
  return true;
}

class SimulatedSession {
 public:
  SimulatedSession() {
    if (hvzelta_InitWithOptions("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, "Simulate=true", &vi_) != 0)
      vi_ = VI_NULL;
  }
  ~SimulatedSession() {
    if (vi_ != VI_NULL) hvzelta_close(vi_);
  }
  SimulatedSession(const SimulatedSession&) = delete;
  SimulatedSession& operator=(const SimulatedSession&) = delete;

  bool IsOpen() const { return vi_ != VI_NULL; }
  bool SetThenGet() {
    ViReal64 level = 0;
    const bool ok =
        hvzelta_SetAttributeViReal64(vi_, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, 229.99999999999997) == 0 &&
        hvzelta_GetAttributeViReal64(vi_, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, &level) == 0;
    benchmark::DoNotOptimize(level);
    return ok;
  }

 private:
  ViSession vi_ = VI_NULL;
};

void BM_SnprintfReal(benchmark::State& state) {
  for (auto _ : state) SnprintfReal();
}
BENCHMARK(BM_SnprintfReal);

void BM_CSetThenGetReal64(benchmark::State& state) {
  SimulatedSession session;
  if (!session.IsOpen()) {
    state.SkipWithError("the simulated session did not open");
    return;
  }
  for (auto _ : state) session.SetThenGet();
}
BENCHMARK(BM_CSetThenGetReal64);

}  // namespace

int main(int argc, char** argv) {
  {
    SimulatedSession session;
    if (hvzelta::bench::CountInstructions({{kFigure, [&] { return session.SetThenGet(); }, SnprintfReal}})) return 0;
  }
  return hvzelta::bench::RunWithRatios(
      argc, argv, {{kFigure, "BM_CSetThenGetReal64", "BM_SnprintfReal", hvzelta::bench::Goal::AtMost(4)}});
}
