#pragma once

// What the formatted I/O fuzz targets share: a device that answers from the
// fuzzer's bytes in pieces of a chosen size and then goes quiet, and an
// enumeration formatter with a small table. The tests' NoCallContext stands
// for the call context.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fmtio/enum_formatter.h"
#include "hvzelta/status.h"
#include "io/low_level_io.h"
#include "support/error_text.h"

namespace hvzelta::fuzzing {

class FuzzDevice final : public ILowLevelIo {
 public:
  FuzzDevice(std::string_view reply, std::int32_t piece) : reply_(reply), piece_(std::max(piece, 1)) {}

  HRESULT SetTerminationCharacterEnabled(VARIANT_BOOL enabled) override {
    termChar_ = enabled != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT GetTerminationCharacterEnabled(VARIANT_BOOL* enabled) override {
    *enabled = ToVariantBool(termChar_);
    return S_OK;
  }
  HRESULT SetSendEndEnabled(VARIANT_BOOL) override { return S_OK; }
  HRESULT GetSendEndEnabled(VARIANT_BOOL* enabled) override {
    *enabled = VARIANT_TRUE;
    return S_OK;
  }
  HRESULT LowLevelReadNoPoll(std::uint8_t* buffer, std::int32_t count, std::int32_t* actual,
                             std::int32_t) override {
    *actual = 0;
    if (reply_.empty()) return E_HALVORNZELTA_IO_TIMEOUT;  // a device that has nothing more to say
    std::size_t n = std::min<std::size_t>({static_cast<std::size_t>(std::max(count, 0)),
                                           static_cast<std::size_t>(piece_), reply_.size()});
    bool ended = n == reply_.size();
    if (termChar_) {
      const std::size_t feed = reply_.substr(0, n).find('\n');
      if (feed != std::string_view::npos) n = feed + 1, ended = true;
    }
    std::memcpy(buffer, reply_.data(), n);
    *actual = static_cast<std::int32_t>(n);
    reply_.remove_prefix(n);
    return ended || n == 0 ? S_OK : S_MORE_DATA_AVAILABLE;
  }
  HRESULT LowLevelReadStringNoPoll(BSTR* text, std::int32_t count, std::int32_t timeout) override {
    std::string bytes(static_cast<std::size_t>(std::max(count, 0)), '\0');
    std::int32_t actual = 0;
    const HRESULT hr = LowLevelReadNoPoll(reinterpret_cast<std::uint8_t*>(bytes.data()), count, &actual, timeout);
    *text = nullptr;
    return hr;
  }
  HRESULT LowLevelWriteNoPoll(const std::uint8_t*, std::int32_t count, std::int32_t* written,
                              std::int32_t) override {
    *written = count;
    return S_OK;
  }

 private:
  std::string_view reply_;
  std::int32_t piece_;
  bool termChar_ = true;
};

class FuzzEnums final : public IEnumFormatter {
 public:
  HRESULT FormatEnum(std::string_view type, std::int32_t value, std::string& word) override {
    if (type == kBooleanEnumName) return word = value ? "1" : "0", S_OK;
    if (value < 0 || value > 2) return E_IVI_INVALID_VALUE;
    return word = kWords[value], S_OK;
  }
  HRESULT ParseEnum(std::string_view, std::string_view word, std::int32_t& value) override {
    for (std::int32_t i = 0; i < 3; ++i) {
      if (word == kWords[i]) return value = i, S_OK;
    }
    return E_IVI_INVALID_VALUE;
  }
  std::int32_t GetMaxEnumLength(std::string_view type) override { return type.size() % 2 ? 5 : 0; }

 private:
  static constexpr const char* kWords[] = {"AC", "DC", "AC DC"};
};

}  // namespace hvzelta::fuzzing
