#include "emulator_fixture.h"

#include <cstdio>
#include <exception>
#include <memory>

#include "zta_sim/emulator.h"

namespace {

std::unique_ptr<zta_sim::Emulator> g_emulator;

}  // namespace

int StartEmulator(char* resource, size_t size) {
  try {
    zta_sim::Options options;
    options.model = zta_sim::Model::ZTA300;
    g_emulator = std::make_unique<zta_sim::Emulator>(options);
    const zta_sim::Endpoints endpoints = g_emulator->Start();
    const int written = std::snprintf(resource, size, "TCPIP::%s::%u::SOCKET", endpoints.address.c_str(),
                                      static_cast<unsigned>(endpoints.socketPort));
    return written > 0 && static_cast<size_t>(written) < size ? 0 : -1;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "emulator: %s\n", failure.what());
    return -1;
  }
}

void StopEmulator(void) { g_emulator.reset(); }
