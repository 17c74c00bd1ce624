#include "hvzelta/com/bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace hvzelta {

// Layout of an allocation: a 32-bit byte count, then the characters, then a
// terminating NUL, so a BSTR can be read as a C wide string as well.
namespace {

constexpr std::size_t kPrefix = sizeof(wchar_t) >= sizeof(std::uint32_t) ? sizeof(wchar_t) : sizeof(std::uint32_t);

std::uint32_t* PrefixOf(BSTR text) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(text) - kPrefix);
}

}  // namespace

extern "C" {

BSTR SysAllocStringLen(const wchar_t* text, std::uint32_t length) {
  constexpr std::uint32_t kMaxLength = std::numeric_limits<std::uint32_t>::max() / sizeof(wchar_t) - 16;
  if (length > kMaxLength) return nullptr;
  const std::size_t bytes = std::size_t{length} * sizeof(wchar_t);
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(wchar_t)));
  if (!block) return nullptr;
  auto* characters = reinterpret_cast<BSTR>(block + kPrefix);
  *PrefixOf(characters) = static_cast<std::uint32_t>(bytes);
  if (text) {
    std::memcpy(characters, text, bytes);
  } else {
    std::memset(characters, 0, bytes);
  }
  characters[length] = L'\0';
  return characters;
}

BSTR SysAllocString(const wchar_t* text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, static_cast<std::uint32_t>(std::wcslen(text)));
}

void SysFreeString(BSTR text) {
  if (text) std::free(reinterpret_cast<unsigned char*>(text) - kPrefix);
}

std::uint32_t SysStringLen(BSTR text) { return text ? *PrefixOf(text) / sizeof(wchar_t) : 0; }

}  // extern "C"

}  // namespace hvzelta
