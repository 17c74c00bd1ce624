// Speed of the formatted I/O engines, each against a reference measured in
// the same run; the closing lines print the ratios.

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "base/call_context.h"
#include "base/halvorn_zelta_error_reporter.h"
#include "fmtio/directive_scanner.h"
#include "fmtio/format_cache.h"
#include "fmtio/formatted_io.h"
#include "hvzelta/status.h"
#include "io/instr_buffer.h"
#include "support/instruction_counts.h"
#include "support/ratio_runner.h"

namespace hvzelta {
namespace {

// A device that answers every read from the same message, again and again.
class RepeatingDevice final : public ILowLevelIo {
 public:
  explicit RepeatingDevice(std::string message) : message_(std::move(message)) {}
  HRESULT SetTerminationCharacterEnabled(VARIANT_BOOL) override { return S_OK; }
  HRESULT GetTerminationCharacterEnabled(VARIANT_BOOL* enabled) override {
    *enabled = VARIANT_FALSE;
    return S_OK;
  }
  HRESULT SetSendEndEnabled(VARIANT_BOOL) override { return S_OK; }
  HRESULT GetSendEndEnabled(VARIANT_BOOL* enabled) override {
    *enabled = VARIANT_TRUE;
    return S_OK;
  }
  HRESULT LowLevelReadNoPoll(std::uint8_t* buffer, std::int32_t count, std::int32_t* actual, std::int32_t) override {
    const std::size_t n = std::min(static_cast<std::size_t>(count), message_.size() - position_);
    std::memcpy(buffer, message_.data() + position_, n);
    position_ += n;
    *actual = static_cast<std::int32_t>(n);
    if (position_ < message_.size()) return S_MORE_DATA_AVAILABLE;
    position_ = 0;
    return S_OK;
  }
  HRESULT LowLevelReadStringNoPoll(BSTR* text, std::int32_t, std::int32_t) override {
    *text = nullptr;
    position_ = 0;
    return S_OK;
  }
  HRESULT LowLevelWriteNoPoll(const std::uint8_t*, std::int32_t count, std::int32_t* written, std::int32_t) override {
    *written = count;
    return S_OK;
  }

 private:
  std::string message_;
  std::size_t position_ = 0;
};

class NoContext final : public ICallContextProvider {
 public:
  IID GetCallContext() const override { return GUID_NULL; }
  const MemberDescriptor* CurrentMember() const override { return nullptr; }
};

NoContext gContext;
CHalvornZeltaErrorReporter gReporter(gContext);
const double kLevel = 123.456789012345;

// The calls measured, each once; the benchmarks repeat them and so does the
// instruction count.
double gLevel = kLevel;
bool FormatVoltCommand() {
  static std::string text;
  text.clear();
  CFormattedIo::Format(&text, nullptr, "VOLT %0.15lg", gLevel);
  benchmark::DoNotOptimize(text.data());
  gLevel += 1e-9;
  return true;
}
bool SnprintfVoltCommand() {
  char text[64];
  std::snprintf(text, sizeof text, "VOLT %.15g", gLevel);
  benchmark::DoNotOptimize(text);
  gLevel += 1e-9;
  return true;
}

const char kReply[] = "230.123456789012\n";

bool ReadOneReal() {
  static RepeatingDevice device(kReply);
  static CInstrBuffer buffer(device, gReporter, "\n", "\n");
  double value = 0;
  const bool ok = CFormattedIo::Scanf(&buffer, nullptr, &gReporter, "%lf", &value) == S_OK;
  benchmark::DoNotOptimize(value);
  return ok;
}
bool StrtodOneReal() {
  double value = std::strtod(kReply, nullptr);
  benchmark::DoNotOptimize(value);
  return true;
}
bool CutCached() {
  benchmark::DoNotOptimize(CachedCut(Direction::Write, "VOLT %0.15lg"));
  return true;
}
bool CutUncached() {
  static CutFormat cut;
  CutFormatString(Direction::Write, "VOLT %0.15lg", cut);
  benchmark::DoNotOptimize(cut.tokens.data());
  return true;
}

template <bool (*kCall)()>
void Repeat(benchmark::State& state) {
  for (auto _ : state) kCall();
}
BENCHMARK(Repeat<FormatVoltCommand>)->Name("BM_FormatVoltCommand");
BENCHMARK(Repeat<SnprintfVoltCommand>)->Name("BM_SnprintfVoltCommand");
BENCHMARK(Repeat<ReadOneReal>)->Name("BM_ReadOneReal");
BENCHMARK(Repeat<StrtodOneReal>)->Name("BM_StrtodOneReal");
BENCHMARK(Repeat<CutCached>)->Name("BM_CutCached");
BENCHMARK(Repeat<CutUncached>)->Name("BM_CutUncached");

constexpr std::size_t kBlockBytes = 10'000'000;

void BM_ReadBlock10MB(benchmark::State& state) {
  RepeatingDevice device("#8" + std::to_string(kBlockBytes) + std::string(kBlockBytes, '\xAB') + "\n");
  CInstrBuffer buffer(device, gReporter, "\n", "\n");
  std::vector<std::uint8_t> data(kBlockBytes);
  for (auto _ : state) {
    std::int32_t count = static_cast<std::int32_t>(kBlockBytes);
    CFormattedIo::Scanf(&buffer, nullptr, &gReporter, "%#b", &count, std::span<std::uint8_t>(data));
    buffer.FlushRead();
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlockBytes));
}
BENCHMARK(BM_ReadBlock10MB)->Unit(benchmark::kMillisecond);

void BM_Memcpy10MB(benchmark::State& state) {
  std::vector<std::uint8_t> from(kBlockBytes, 0xAB), to(kBlockBytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kBlockBytes);
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlockBytes));
}
BENCHMARK(BM_Memcpy10MB)->Unit(benchmark::kMillisecond);

constexpr int kReals = 100'000;

std::string RealList() {
  std::string text;
  char number[32];
  for (int i = 0; i < kReals; ++i) {
    std::snprintf(number, sizeof number, "%s%.9e", i ? "," : "", 1.0 + i * 0.001234567);
    text += number;
  }
  return text;
}

void BM_ReadRealList(benchmark::State& state) {
  RepeatingDevice device(RealList() + "\n");
  CInstrBuffer buffer(device, gReporter, "\n", "\n");
  std::vector<double> values(kReals);
  for (auto _ : state) {
    std::int32_t count = kReals;
    CFormattedIo::Scanf(&buffer, nullptr, &gReporter, "%,#lf", &count, std::span<double>(values));
    benchmark::DoNotOptimize(values.data());
  }
}
BENCHMARK(BM_ReadRealList)->Unit(benchmark::kMillisecond);

void BM_FromCharsRealList(benchmark::State& state) {
  const std::string text = RealList();
  std::vector<double> values(kReals);
  for (auto _ : state) {
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < kReals && p < end; ++i) {
      p = std::from_chars(p, end, values[static_cast<std::size_t>(i)]).ptr + 1;
    }
    benchmark::DoNotOptimize(values.data());
  }
}
BENCHMARK(BM_FromCharsRealList)->Unit(benchmark::kMillisecond);

constexpr const char* kFormat = "Format(\"VOLT %0.15lg\") / snprintf(\"VOLT %.15g\")";
constexpr const char* kRead = "\"%lf\" read of one reply / strtod";
constexpr const char* kCutCached = "format cut, cached / snprintf(\"VOLT %.15g\")";
constexpr const char* kCutUncached = "format cut, uncached / snprintf(\"VOLT %.15g\")";

}  // namespace
}  // namespace hvzelta

int main(int argc, char** argv) {
  using hvzelta::bench::Goal;
  using namespace hvzelta;
  if (bench::CountInstructions({{kFormat, FormatVoltCommand, SnprintfVoltCommand},
                                {kRead, ReadOneReal, StrtodOneReal},
                                {kCutCached, CutCached, SnprintfVoltCommand},
                                {kCutUncached, CutUncached, SnprintfVoltCommand}})) {
    return 0;
  }
  constexpr auto kDetail = hvzelta::bench::Row::kDetail;
  return hvzelta::bench::RunWithRatios(
      argc, argv,
      {{kFormat, "BM_FormatVoltCommand", "BM_SnprintfVoltCommand",
        Goal::AtMost(1.5)},
       {kRead, "BM_ReadOneReal", "BM_StrtodOneReal", Goal::AtMost(2)},
       {kCutCached, "BM_CutCached", "BM_SnprintfVoltCommand", Goal::Report(),
        false, kDetail},
       {kCutUncached, "BM_CutUncached", "BM_SnprintfVoltCommand", Goal::AtMost(10),
        false, kDetail},
       {"10 MB block from memory \"%#b\": speed / memcpy", "BM_ReadBlock10MB", "BM_Memcpy10MB", Goal::AtLeast(0.5),
        true, kDetail},
       {"100 000 reals from memory \"%,#lf\": speed / from_chars", "BM_ReadRealList", "BM_FromCharsRealList",
        Goal::AtLeast(0.5), true, kDetail}});
}
