// Format strings from callers over every kind of argument: the write engine
// must give a status for any of them. And numbers written in every style
// read back as themselves.

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/halvorn_zelta_error_reporter.h"
#include "fmtio/formatted_io.h"
#include "fuzz_support.h"
#include "io/instr_buffer.h"

namespace {

// The first twelve bytes as a real and an integer. Reals the reader refuses
// by design (infinities, NaN, subnormals) are left out.
void CheckRoundTrip(const std::uint8_t* data, std::size_t size) {
  using namespace hvzelta;
  if (size < 12) return;
  double real = 0;
  std::int32_t integer = 0;
  std::memcpy(&real, data, sizeof real);
  std::memcpy(&integer, data + sizeof real, sizeof integer);
  if (!std::isfinite(real) || (real != 0 && std::fabs(real) < DBL_MIN)) return;
  const std::int32_t natural = integer == INT32_MIN ? 0 : std::abs(integer);

  fuzzing::FuzzEnums enums;
  std::string text;
  if (CFormattedIo::Format(&text, &enums, "%.17lg;%.17le;%d;%@Hd;%@Qd;%@Bd\n", real, real, integer, natural,
                           natural, natural) != S_OK) {
    std::abort();
  }
  testing::NoCallContext context;
  CHalvornZeltaErrorReporter reporter(context);
  fuzzing::FuzzDevice device(text, 1 + data[0] % 32);
  CInstrBuffer buffer(device, reporter, "\n", "\n");
  double reals[2] = {};
  std::int32_t integers[4] = {};
  if (CFormattedIo::Scanf(&buffer, &enums, &reporter, "%lf;%lf;%d;%@Hd;%@Qd;%@Bd", &reals[0], &reals[1],
                          &integers[0], &integers[1], &integers[2], &integers[3]) != S_OK) {
    std::abort();
  }
  if (reals[0] != real || reals[1] != real || integers[0] != integer) std::abort();
  for (int i = 1; i < 4; ++i) {
    if (integers[i] != natural) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hvzelta;
  CheckRoundTrip(data, size);
  if (size < 2) return 0;
  // The first bytes choose up to eight arguments, the rest is the format.
  const std::size_t chosen = std::min<std::size_t>(data[0] % 9, size - 1);
  const std::uint8_t* choices = data + 1;
  const std::string format(reinterpret_cast<const char*>(data + 1 + chosen), size - 1 - chosen);

  static const std::int32_t ints[4] = {1, -2, 300, 65535};
  static const std::int16_t shorts[4] = {-1, 0, 7, -7};
  static const std::int64_t longs[4] = {1, -1, INT64_MAX, INT64_MIN};
  static const double reals[4] = {0.5, -1e300, 1e-310, 42};
  static const float floats[4] = {1.5f, -2.5f, 0, 3};
  static const char* texts[3] = {"a", "", "b c"};
  static const std::string objects[2] = {"x", "yz"};
  const std::string object = "string object";
  SafeArrayPtr numbers(SafeArrayCreateVector(VT_I4, 0, 3));
  SafeArrayPtr doubles(SafeArrayCreateVector(VT_R8, 0, 2));
  SafeArrayPtr names(SafeArrayCreateVector(VT_BSTR, 0, 2));

  std::vector<FormatArg> args;
  for (std::size_t i = 0; i < chosen; ++i) {
    switch (choices[i] % 20) {
      case 0: args.push_back(MakeFormatArg(static_cast<int>(choices[i]) - 128)); break;
      case 1: args.push_back(MakeFormatArg(std::int64_t{choices[i]} << 40)); break;
      case 2: args.push_back(MakeFormatArg(choices[i] * 1.25e10 - 1e12)); break;
      case 3: args.push_back(MakeFormatArg("text")); break;
      case 4: args.push_back(MakeFormatArg(L"wide")); break;
      case 5: args.push_back(MakeFormatArg(object)); break;
      case 6: args.push_back(MakeFormatArg(ints)); break;
      case 7: args.push_back(MakeFormatArg(shorts)); break;
      case 8: args.push_back(MakeFormatArg(longs)); break;
      case 9: args.push_back(MakeFormatArg(reals)); break;
      case 10: args.push_back(MakeFormatArg(floats)); break;
      case 11: args.push_back(MakeFormatArg(texts)); break;
      case 12: args.push_back(MakeFormatArg(objects)); break;
      case 13: args.push_back(MakeFormatArg(static_cast<const SAFEARRAY*>(numbers.get()))); break;
      case 14: args.push_back(MakeFormatArg(static_cast<const SAFEARRAY*>(doubles.get()))); break;
      case 15: args.push_back(MakeFormatArg(static_cast<const SAFEARRAY*>(names.get()))); break;
      case 16: args.push_back(MakeFormatArg(nullptr)); break;
      case 17: args.push_back(MakeFormatArg(static_cast<const char*>(nullptr))); break;
      case 18: args.push_back(MakeFormatArg(choices[i] % 40)); break;
      default: args.push_back(MakeFormatArg(-static_cast<int>(choices[i]))); break;
    }
  }
  fuzzing::FuzzEnums enums;
  std::string text;
  CFormattedIo::CCStringWriter writer(text);
  FormatArgs list(args);
  CFormattedIo::Write(&writer, &enums, format.c_str(), list);
  return 0;
}
