// Resource strings come from users and configuration files: any text must
// parse or be refused without harm, and a parsed name's expanded form must
// parse again to itself.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "visa/resource_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto name = hvzelta::visa::ParseResourceName(text);
  if (!name) return 0;
  auto again = hvzelta::visa::ParseResourceName(name->canonical);
  if (!again || again->canonical != name->canonical || again->kind != name->kind) __builtin_trap();
  (void)name->LockKey();
  return 0;
}
