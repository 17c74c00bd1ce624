// How option strings scale with the number of names they hold: six times the
// names should cost about six times the time, which a name-by-name search of
// the names already seen would turn into thirty-six.

#include <string>

#include "core/option_string.h"
#include "support/ratio_runner.h"

namespace hvzelta {
namespace {

std::string ManyNames(int count) {
  std::string text = "Simulate=true";
  for (int i = 0; i < count; ++i) text += ", Name" + std::to_string(i) + "=" + std::to_string(i);
  return text;
}

void ParseNames(benchmark::State& state, int count) {
  const std::string text = ManyNames(count);
  for (auto _ : state) benchmark::DoNotOptimize(ParseOptionPairs(text));
}

void BM_ParseTenThousandNames(benchmark::State& state) { ParseNames(state, 10000); }
BENCHMARK(BM_ParseTenThousandNames);

void BM_ParseSixtyThousandNames(benchmark::State& state) { ParseNames(state, 60000); }
BENCHMARK(BM_ParseSixtyThousandNames);

}  // namespace
}  // namespace hvzelta

int main(int argc, char** argv) {
  using hvzelta::bench::Goal;
  return hvzelta::bench::RunWithRatios(argc, argv,
                                       {{"option string: 60 000 names / 10 000 names", "BM_ParseSixtyThousandNames",
                                         "BM_ParseTenThousandNames", Goal::AtMost(10)}});
}
