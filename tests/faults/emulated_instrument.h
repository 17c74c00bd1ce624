#pragma once

// An emulated ZTA300 serving every transport at once on loopback, and C
// sessions on it that close themselves.

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "hvzelta.h"
#include "zta_sim/emulator.h"

namespace hvzelta::faults {

enum class Transport { Socket, HiSlip, Vxi11, Serial };
inline constexpr std::array kTransports = {Transport::Socket, Transport::HiSlip, Transport::Vxi11, Transport::Serial};
// A name that also serves as part of a test name.
std::string_view TransportName(Transport transport);

class EmulatedInstrument {
 public:
  explicit EmulatedInstrument(const zta_sim::FaultOptions& faults = {});
  std::string Resource(Transport transport) const;
  zta_sim::Emulator& Emulator() { return *emulator_; }

 private:
  std::unique_ptr<zta_sim::Emulator> emulator_;
  zta_sim::Endpoints endpoints_;
};

// The stored description of the last failure on `vi`, taken (and so cleared).
std::string TakeError(ViSession vi);

// A C session opened with hvzelta_InitWithOptions; closed when it goes.
class CSession {
 public:
  CSession() = default;
  ~CSession() { Close(); }
  CSession(const CSession&) = delete;
  CSession& operator=(const CSession&) = delete;

  ViStatus Open(const std::string& resource, const char* options);
  ViStatus Close();
  ViSession Get() const { return vi_; }

 private:
  ViSession vi_ = VI_NULL;
};

}  // namespace hvzelta::faults
