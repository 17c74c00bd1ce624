// The texts a VISA program hands libhvzvisa.so that it parses itself: the
// resource patterns of viFindRsrc and the formats of viPrintf/viScanf. The
// first byte chooses which; the rest, cut at its first NUL, is the text, and
// what follows the NUL is a name to match or a response to read. A pattern
// compiles or is refused with VI_ERROR_INV_EXPR or VI_ERROR_NSUP_OPER, and
// matching ends whatever the pattern nests; a format is accepted or refused
// with a format status, and a read format converts the response into
// destinations as large as any response could fill.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "visa/library/formatted_io.h"
#include "visa/resource_pattern.h"

using namespace hvzelta::visa;

namespace {

constexpr std::size_t kMaxResponse = 4096;
constexpr std::size_t kDestinations = 8;
// Every destination holds eight bytes for each byte of the response, as an
// array of 64-bit integers from "1,1,1" would fill.
alignas(16) std::uint8_t destinations[kDestinations][8 * (kMaxResponse + 2)];

ViStatus Scan(std::string_view response, const char* format, ...) {
  va_list params;
  va_start(params, format);
  const ViStatus status = ScanMessage(response, '\n', format, params);
  va_end(params);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string text(input.substr(0, input.find('\0')));
  const std::string_view rest = text.size() < input.size() ? input.substr(text.size() + 1) : std::string_view();
  switch (data[0] % 3) {
    case 0: {
      std::optional<ResourcePattern> pattern;
      const ViStatus status = ResourcePattern::Compile(input.substr(0, text.size()), pattern);
      if (status != VI_SUCCESS && status != VI_ERROR_INV_EXPR && status != VI_ERROR_NSUP_OPER) __builtin_trap();
      if (pattern.has_value() != (status == VI_SUCCESS)) __builtin_trap();
      if (pattern) (void)pattern->Matches(rest);
      break;
    }
    default: {
      const auto direction = data[0] % 3 == 1 ? hvzelta::Direction::Write : hvzelta::Direction::Read;
      std::vector<ArgumentSlot> slots;
      ViStatus status = PlanArguments(text.c_str(), direction, slots);
      if (status != VI_SUCCESS && status != VI_ERROR_INV_FMT && status != VI_ERROR_NSUP_FMT) __builtin_trap();
      if (status != VI_SUCCESS || direction == hvzelta::Direction::Write || slots.size() > kDestinations ||
          rest.size() > kMaxResponse) {
        break;
      }
      std::memset(destinations, 0, sizeof destinations);
      auto* d = destinations;
      status = Scan(rest, text.c_str(), d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
      if (status != VI_SUCCESS && status != VI_ERROR_INV_FMT && status != VI_ERROR_INV_PARAMETER) __builtin_trap();
      break;
    }
  }
  return 0;
}
