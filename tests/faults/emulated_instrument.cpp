#include "emulated_instrument.h"

#include <utility>

namespace hvzelta::faults {

std::string_view TransportName(Transport transport) {
  static constexpr std::string_view kNames[] = {"Socket", "HiSlip", "Vxi11", "Serial"};
  return kNames[static_cast<int>(transport)];
}

EmulatedInstrument::EmulatedInstrument(const zta_sim::FaultOptions& faults) {
  zta_sim::Options options;
  options.model = zta_sim::Model::ZTA300;
  options.hislip = true;
  options.vxi11 = true;
  options.serial = true;
  options.faults = faults;
  emulator_ = std::make_unique<zta_sim::Emulator>(options);
  endpoints_ = emulator_->Start();
}

std::string EmulatedInstrument::Resource(Transport transport) const {
  const std::string host = "TCPIP::" + endpoints_.address;
  switch (transport) {
    case Transport::Socket: return host + "::" + std::to_string(endpoints_.socketPort) + "::SOCKET";
    case Transport::HiSlip: return host + "::hislip0," + std::to_string(endpoints_.hislipPort) + "::INSTR";
    case Transport::Vxi11: return host + "," + std::to_string(endpoints_.vxi11Port) + "::INSTR";
    case Transport::Serial: return "ASRL" + endpoints_.serialPath + "::INSTR";
  }
  return {};
}

std::string TakeError(ViSession vi) {
  ViStatus code = 0;
  char text[1024] = {};
  hvzelta_GetError(vi, &code, static_cast<ViInt32>(sizeof text), text);
  return text;
}

ViStatus CSession::Open(const std::string& resource, const char* options) {
  Close();
  return hvzelta_InitWithOptions(resource.c_str(), VI_FALSE, VI_FALSE, options, &vi_);
}

ViStatus CSession::Close() {
  if (vi_ == VI_NULL) return VI_SUCCESS;
  return hvzelta_close(std::exchange(vi_, VI_NULL));
}

}  // namespace hvzelta::faults
