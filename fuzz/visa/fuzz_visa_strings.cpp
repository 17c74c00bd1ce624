// The texts a VISA program hands libhvzvisa.so that it parses itself: the
// resource patterns of viFindRsrc and the formats of viPrintf/viScanf. The
// first byte chooses which; the rest, cut at its first NUL, is the text
// (for a pattern, what follows the NUL is a name to match). A pattern
// compiles or is refused with VI_ERROR_INV_EXPR or VI_ERROR_NSUP_OPER, and
// matching ends whatever the pattern nests; a format is accepted or refused
// with a format status.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "visa/library/formatted_io.h"
#include "visa/resource_pattern.h"

using namespace hvzelta::visa;

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
      const FormatDirection direction = data[0] % 3 == 1 ? FormatDirection::Write : FormatDirection::Read;
      const ViStatus status = CheckFormat(text.c_str(), direction);
      if (status != VI_SUCCESS && status != VI_ERROR_INV_FMT && status != VI_ERROR_NSUP_FMT) __builtin_trap();
      break;
    }
  }
  return 0;
}
