#pragma once

// An in-memory raw channel for tests: it answers reads from scripted device
// messages (honouring the termination character and the read count the way
// a VISA read does) and records every write with whether END went with it;
// and a fixture with a formatted I/O buffer over it.

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/halvorn_zelta_error_reporter.h"
#include "hvzelta/status.h"
#include "io/instr_buffer.h"
#include "io/low_level_io.h"
#include "platform/text.h"
#include "support/error_text.h"

namespace hvzelta::testing {

class ScriptedChannel final : public ILowLevelIo {
 public:
  struct Sent {
    std::string bytes;
    bool end;
  };

  void Reply(std::string message) { replies_.push_back(std::move(message)); }

  HRESULT SetTerminationCharacterEnabled(VARIANT_BOOL enabled) override {
    termCharEnabled = enabled != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT GetTerminationCharacterEnabled(VARIANT_BOOL* enabled) override {
    *enabled = ToVariantBool(termCharEnabled);
    return S_OK;
  }
  HRESULT SetSendEndEnabled(VARIANT_BOOL enabled) override {
    sendEnd = enabled != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT GetSendEndEnabled(VARIANT_BOOL* enabled) override {
    *enabled = ToVariantBool(sendEnd);
    return S_OK;
  }

  HRESULT LowLevelReadNoPoll(std::uint8_t* buffer, std::int32_t count, std::int32_t* actual,
                             std::int32_t) override {
    ++reads;
    *actual = 0;
    if (replies_.empty()) return E_HALVORNZELTA_IO_TIMEOUT;
    std::string& message = replies_.front();
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), message.size());
    bool ended = n == message.size();
    if (termCharEnabled) {
      const std::size_t feed = message.find('\n');
      if (feed != std::string::npos && feed < n) n = feed + 1, ended = true;
    }
    std::memcpy(buffer, message.data(), n);
    *actual = static_cast<std::int32_t>(n);
    message.erase(0, n);
    if (message.empty()) replies_.pop_front();
    return ended ? S_OK : S_MORE_DATA_AVAILABLE;
  }

  HRESULT LowLevelReadStringNoPoll(BSTR* text, std::int32_t count, std::int32_t timeout) override {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    std::int32_t actual = 0;
    const HRESULT hr = LowLevelReadNoPoll(bytes.data(), count, &actual, timeout);
    const std::wstring wide = Utf8ToWide(std::string(bytes.begin(), bytes.begin() + actual));
    *text = SysAllocStringLen(wide.data(), static_cast<std::uint32_t>(wide.size()));
    return hr;
  }

  HRESULT LowLevelWriteNoPoll(const std::uint8_t* buffer, std::int32_t count, std::int32_t* written,
                              std::int32_t) override {
    if (failNextWrite != S_OK) return std::exchange(failNextWrite, S_OK);
    const std::int32_t taken = acceptAtMost >= 0 ? std::min(count, acceptAtMost) : count;
    sent.push_back({std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(taken)), sendEnd});
    *written = taken;
    return S_OK;
  }

  bool termCharEnabled = true;
  bool sendEnd = true;
  int reads = 0;
  HRESULT failNextWrite = S_OK;
  std::int32_t acceptAtMost = -1;
  std::vector<Sent> sent;

 private:
  std::deque<std::string> replies_;
};

class ScriptedBufferTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearErrorInfo(); }

  ScriptedChannel channel_;
  NoCallContext context_;
  CHalvornZeltaErrorReporter reporter_{context_};
  CInstrBuffer buffer_{channel_, reporter_, "\n", "\n"};
};

}  // namespace hvzelta::testing
