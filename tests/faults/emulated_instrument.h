#pragma once

// An emulated ZTA300 serving every transport at once on loopback, and C
// sessions on it that close themselves.

#include <gtest/gtest.h>

#include <array>
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

}  // namespace hvzelta::faults
