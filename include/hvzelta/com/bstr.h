#pragma once

// Length-prefixed wide strings, the text type of the object interface. A null
// BSTR is the empty string; every BSTR handed to a caller is the caller's to
// free with SysFreeString.

#include <cstdint>
#include <string_view>

#include "hvzelta/export.h"

namespace hvzelta {

using BSTR = wchar_t*;

extern "C" {
HVZELTA_API BSTR SysAllocString(const wchar_t* text);
HVZELTA_API BSTR SysAllocStringLen(const wchar_t* text, std::uint32_t length);
HVZELTA_API void SysFreeString(BSTR text);
HVZELTA_API std::uint32_t SysStringLen(BSTR text);
}

// A view of a BSTR's characters (embedded NULs included).
inline std::wstring_view BstrView(const wchar_t* text) {
  return text ? std::wstring_view(text, SysStringLen(const_cast<BSTR>(text))) : std::wstring_view();
}

// Owns one BSTR and frees it on scope exit.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::wstring_view text)
      : text_(SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : text_(other.Detach()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  ~Bstr() { SysFreeString(text_); }

  BSTR Get() const { return text_; }
  BSTR* Out() {
    Reset();
    return &text_;
  }
  BSTR Detach() {
    BSTR text = text_;
    text_ = nullptr;
    return text;
  }
  void Reset(BSTR text = nullptr) {
    SysFreeString(text_);
    text_ = text;
  }
  std::wstring_view View() const { return BstrView(text_); }

 private:
  BSTR text_ = nullptr;
};

}  // namespace hvzelta
