#pragma once

// What the reliability suites run against: an emulated ZTA300 serving every
// transport at once on loopback, and C sessions on it that close themselves.
// And their ledger: what they did, counted as they go and printed when the
// program ends, also when some tests failed: faults injected, operations by
// status, and replies that answered another query (lost data).

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "hvzelta.h"
#include "zta_sim/emulator.h"

namespace hvzelta::faults {

enum class Transport { Socket, HiSlip, Vxi11, Serial };
inline constexpr std::array kTransports = {Transport::Socket, Transport::HiSlip, Transport::Vxi11, Transport::Serial};

// A name that also serves as part of a test name.
inline std::string TransportName(Transport transport) {
  static constexpr std::string_view kNames[] = {"Socket", "HiSlip", "Vxi11", "Serial"};
  return std::string(kNames[static_cast<int>(transport)]);
}

class EmulatedInstrument {
 public:
  explicit EmulatedInstrument(const zta_sim::FaultOptions& faults = {}) : emulator_(Options(faults)) {
    endpoints_ = emulator_.Start();
  }
  std::string Resource(Transport transport) const {
    const std::string host = "TCPIP::" + endpoints_.address;
    switch (transport) {
      case Transport::Socket: return host + "::" + std::to_string(endpoints_.socketPort) + "::SOCKET";
      case Transport::HiSlip: return host + "::hislip0," + std::to_string(endpoints_.hislipPort) + "::INSTR";
      case Transport::Vxi11: return host + "," + std::to_string(endpoints_.vxi11Port) + "::INSTR";
      case Transport::Serial: return "ASRL" + endpoints_.serialPath + "::INSTR";
    }
    return {};
  }
  zta_sim::Emulator& Emulator() { return emulator_; }

 private:
  static zta_sim::Options Options(const zta_sim::FaultOptions& faults) {
    zta_sim::Options options;
    options.model = zta_sim::Model::ZTA300;
    options.hislip = options.vxi11 = options.serial = true;
    options.faults = faults;
    return options;
  }

  zta_sim::Emulator emulator_;
  zta_sim::Endpoints endpoints_;
};

// The stored description of the last failure on `vi`, taken (and so cleared).
inline std::string TakeError(ViSession vi) {
  ViStatus code = 0;
  char text[1024] = {};
  hvzelta_GetError(vi, &code, static_cast<ViInt32>(sizeof text), text);
  return text;
}

// A C session, closed when it goes.
class CSession {
 public:
  CSession() = default;
  ~CSession() { Close(); }
  CSession(const CSession&) = delete;
  CSession& operator=(const CSession&) = delete;

  // Opens without the cache, so that every call reaches the instrument, and
  // sets the I/O timeout; fails the test when either fails.
  ViStatus Open(const std::string& resource, ViInt32 timeoutMs, const char* options = "Cache=false") {
    Close();
    ViStatus status = hvzelta_InitWithOptions(resource.c_str(), VI_FALSE, VI_FALSE, options, &vi_);
    if (status == VI_SUCCESS) status = hvzelta_SetAttributeViInt32(vi_, "", HVZELTA_ATTR_IO_TIMEOUT, timeoutMs);
    EXPECT_EQ(status, VI_SUCCESS) << resource << ": " << TakeError(vi_);
    return status;
  }
  ViStatus Close() { return vi_ == VI_NULL ? VI_SUCCESS : hvzelta_close(std::exchange(vi_, VI_NULL)); }
  ViSession Get() const { return vi_; }

 private:
  ViSession vi_ = VI_NULL;
};

class FaultLedger final : public ::testing::Environment {
 public:
  static FaultLedger& Instance() {
    static FaultLedger* const ledger = static_cast<FaultLedger*>(::testing::AddGlobalTestEnvironment(new FaultLedger));
    return *ledger;
  }
  void FaultInjected(unsigned long long count = 1) { Add(faults_, count); }
  void LostData() { Add(lostData_, 1); }
  void Operation(ViStatus status) {
    const std::lock_guard lock(mutex_);  // the map's lookup, too, is under the lock
    ++outcomes_[status];
  }

  void TearDown() override {
    const std::lock_guard lock(mutex_);
    unsigned long long operations = 0;
    for (const auto& [status, count] : outcomes_) operations += count;
    std::printf("\n== reliability summary\n  faults injected %12llu\n  operations      %12llu\n"
                "  lost data       %12llu\n", faults_, operations, lostData_);
    for (const auto& [status, count] : outcomes_) {
      char text[256] = {};
      hvzelta_error_message(VI_NULL, status, text);
      std::printf("    %10llu  0x%08X %.60s\n", count, static_cast<unsigned>(status), text);
    }
    std::fflush(stdout);
  }

 private:
  void Add(unsigned long long& counter, unsigned long long count) {
    const std::lock_guard lock(mutex_);
    counter += count;
  }

  std::mutex mutex_;
  unsigned long long faults_ = 0;
  unsigned long long lostData_ = 0;
  std::map<ViStatus, unsigned long long> outcomes_;
};

}  // namespace hvzelta::faults
