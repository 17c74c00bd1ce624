// "hvzelta sim": the built-in emulator in the foreground, with the resource
// strings that reach it, until SIGINT or SIGTERM.


#include <exception>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cli_options.h"
#include "command.h"
#include "json_output.h"
#include "model_catalog.h"
#include "progress.h"
#include "stop_signals.h"
#include "zta_sim/emulator.h"

namespace hvzelta::cli {
namespace {

// The resource string of each transport the emulator serves, in the order
// they are printed.
std::vector<std::pair<std::string, std::string>> Resources(const zta_sim::Endpoints& endpoints) {
  const std::string host = "TCPIP::" + endpoints.address;
  std::vector<std::pair<std::string, std::string>> resources;
  if (endpoints.socketPort != 0) {
    resources.emplace_back("socket", host + "::" + std::to_string(endpoints.socketPort) + "::SOCKET");
  }
  if (endpoints.hislipPort != 0) {
    resources.emplace_back("hislip", host + "::hislip0," + std::to_string(endpoints.hislipPort) + "::INSTR");
  }
  if (endpoints.vxi11Port != 0) {
    // The core channel's port in the resource string needs no port mapper.
    resources.emplace_back("vxi11", host + "," + std::to_string(endpoints.vxi11Port) + "::inst0::INSTR");
  }
  if (!endpoints.serialPath.empty()) resources.emplace_back("serial", "ASRL" + endpoints.serialPath + "::INSTR");
  return resources;
}

int Sim(std::span<const std::string_view> words, Streams& streams) {
  std::vector<std::string> arguments;
  bool json = false;
  for (std::string_view word : words) {
    if (word == "--json") {
      json = true;
    } else {
      arguments.emplace_back(word);
    }
  }
  const zta_sim::CommandLine commandLine = zta_sim::ParseCommandLine(arguments);
  if (!commandLine.error.empty()) {
    streams.err << "hvzelta sim: " << commandLine.error << " (see 'hvzelta help sim')\n";
    return kExitUsage;
  }
  if (commandLine.help) {
    streams.out << kSimCommand.usage;
    return kExitSuccess;
  }

  const zta_sim::StopSignals stopSignals;

  zta_sim::Emulator emulator(commandLine.options);
  zta_sim::Endpoints endpoints;
  try {
    const Progress progress("starting the emulator");
    endpoints = emulator.Start();
  } catch (const std::exception& failure) {
    streams.err << "hvzelta sim: cannot start the emulator: " << failure.what() << "\n";
    return kExitFailure;
  }
  const std::string_view model = zta_sim::Describe(commandLine.options.model).name;
  if (json) {
    Json resources = Json::object();
    for (const auto& [transport, resource] : Resources(endpoints)) resources[transport] = resource;
    PrintJson(streams.out, {{"model", model}, {"resources", resources}});
    streams.out.flush();
  } else {
    streams.out << "Emulated " << model << "; resource strings:\n";
    for (const auto& [transport, resource] : Resources(endpoints)) {
      streams.out << "  " << transport << std::string(8 - transport.size(), ' ') << resource << "\n";
    }
    streams.out << "ready (Ctrl-C stops)" << std::endl;
  }
  stopSignals.Wait();
  emulator.Stop();
  return kExitSuccess;
}

const std::string kUsage =
    "usage: hvzelta sim [--json] [EMULATOR OPTIONS]\n"
    "\n"
    "Runs the built-in ZTA emulator in the foreground, the same one as hvzelta-sim,\n"
    "prints the resource string of each transport it serves, then \"ready\", and runs\n"
    "until SIGINT (Ctrl-C) or SIGTERM. With --json the resource strings are one JSON\n"
    "document: {\"model\": ..., \"resources\": {\"socket\": ..., ...}}.\n"
    "\n" +
    zta_sim::OptionsHelp();

}  // namespace

const Command kSimCommand{"sim", "run the instrument emulator in the foreground", kUsage, &Sim};

}  // namespace hvzelta::cli
