// Format strings from callers: cutting must accept or refuse, never crash,
// the cached cut must be the cut, and short formats must be cut exactly as
// the directive tables' regular expressions cut them.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fmtio/directive_scanner.h"
#include "fmtio/format_cache.h"
#include "reference_cutter.h"

namespace {

// The regular-expression engine recurses once per character: longer formats
// are only checked for a sound cut.
constexpr std::size_t kReferenceLengthMax = 128;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hvzelta;
  const std::string_view format(reinterpret_cast<const char*>(data), size);
  for (const Direction direction : {Direction::Write, Direction::Read}) {
    CutFormat cut;
    const bool ok = CutFormatString(direction, format, cut);
    const auto cached = CachedCut(direction, format);
    if (ok != (cached != nullptr)) std::abort();
    if (size <= kReferenceLengthMax) {
      std::vector<Token> expected;
      if (reference::CutterFor(direction).Cut(std::string(format), expected) != ok) std::abort();
      if (ok && cut.tokens != expected) std::abort();
    }
    if (!ok) continue;
    if (cached->tokens != cut.tokens) std::abort();
    std::size_t covered = 0;
    for (const Token& token : cut.tokens) {
      if (token.position != covered || token.length == 0) std::abort();
      covered += token.length;
    }
    if (covered != format.size()) std::abort();
  }
  return 0;
}
