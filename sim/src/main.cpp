// hvzelta-sim: runs the emulator until SIGINT or SIGTERM.

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli_options.h"
#include "stop_signals.h"
#include "zta_sim/emulator.h"

int main(int argc, char** argv) {
  const zta_sim::CommandLine commandLine = zta_sim::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (commandLine.help) {
    std::cout << zta_sim::Usage();
    return 0;
  }
  if (!commandLine.error.empty()) {
    std::cerr << "hvzelta-sim: " << commandLine.error << "\n(hvzelta-sim --help lists the options)\n";
    return 2;
  }

  const zta_sim::StopSignals stopSignals;

  zta_sim::Emulator emulator(commandLine.options);
  zta_sim::Endpoints endpoints;
  try {
    endpoints = emulator.Start();
  } catch (const std::exception& error) {
    std::cerr << "hvzelta-sim: " << error.what() << "\n";
    return 1;
  }
  if (endpoints.socketPort != 0) std::cout << "socket: " << endpoints.address << ":" << endpoints.socketPort << "\n";
  if (!endpoints.serialPath.empty()) std::cout << "serial: " << endpoints.serialPath << "\n";
  if (endpoints.vxi11Port != 0) {
    std::cout << "vxi11: " << endpoints.address << ":" << endpoints.vxi11Port << "\n";
    std::cout << "portmapper: " << endpoints.address << ":" << endpoints.portmapperPort << "\n";
  }
  if (endpoints.hislipPort != 0) std::cout << "hislip: " << endpoints.address << ":" << endpoints.hislipPort << "\n";
  std::cout << "ready" << std::endl;

  stopSignals.Wait();
  emulator.Stop();
  return 0;
}
