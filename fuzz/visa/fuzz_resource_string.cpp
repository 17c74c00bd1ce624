// Resource strings come from users and configuration files: any text must
// parse or be refused without harm (a refusal pointing into the text or just
// past its end), and a parsed name's expanded form must parse again to
// itself.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "visa/resource_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t failedAt = 0;
  auto name = hvzelta::visa::ParseResourceName(text, &failedAt);
  if (!name && (failedAt < 1 || failedAt > size + 1)) __builtin_trap();
  if (!name) return 0;
  auto again = hvzelta::visa::ParseResourceName(name->canonical);
  if (!again || again->canonical != name->canonical || again->kind != name->kind) __builtin_trap();
  (void)name->LockKey();
  return 0;
}
