// What the C interface costs a test program on an instrument: the output
// voltage read and set through hvzelta_GetAttributeViReal64 and
// hvzelta_SetAttributeViReal64 on the emulated instrument over a raw socket,
// against a raw socket client exchanging the same bytes with the same
// emulator in the same run ("VOLT?\n" and its reply, "VOLT 100\n"). The read
// over HiSLIP (one round trip with a 16-byte header) and over VXI-11 (two RPC
// round trips) is measured against the raw socket too. Each pair runs in
// alternating rounds (see paired_rounds.h). Beside them, counted in
// instructions: what the driver does per call beyond the raw client, in
// units of one snprintf("VOLT %.15g") (see instruction_counts.h). The set's
// wall-clock ratio is only reported: the kernel and the scheduler decide it,
// and its instruction count is what the driver controls. The VXI-11 read is
// also measured against PyVISA-py's VXI-11 query of the same emulator, and
// the Initialize against PyVISA-py's open_resource with the same queries,
// when it is installed for /usr/bin/python3.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "hvzelta.h"
#include "support/instruction_counts.h"
#include "support/one_core.h"
#include "support/paired_rounds.h"
#include "support/ratio_runner.h"
#include "support/raw_socket.h"
#include "zta_sim/emulator.h"

#if !defined(HVZELTA_PYVISA_VXI11_SCRIPT) || !defined(HVZELTA_PYVISA_OPEN_SCRIPT)
#error "the build names the PyVISA-py reference scripts"
#endif

namespace {

using hvzelta::bench::Contender;
using hvzelta::bench::Goal;
using hvzelta::bench::kCommandsPerRound;
using hvzelta::bench::kQueriesPerRound;
using hvzelta::bench::RawSocketClient;

zta_sim::Emulator& Emulator() {
  static zta_sim::Emulator emulator{[] {
    zta_sim::Options options;
    options.hislip = true;
    options.vxi11 = true;
    return options;
  }()};
  return emulator;
}
const zta_sim::Endpoints& Endpoints() {
  static const zta_sim::Endpoints endpoints = Emulator().Start();
  return endpoints;
}

std::string SocketResource() { return "TCPIP::127.0.0.1::" + std::to_string(Endpoints().socketPort) + "::SOCKET"; }
std::string HislipResource() {
  return "TCPIP::127.0.0.1::hislip0," + std::to_string(Endpoints().hislipPort) + "::INSTR";
}
std::string Vxi11Resource() { return "TCPIP::127.0.0.1," + std::to_string(Endpoints().vxi11Port) + "::INSTR"; }

class CSession {
 public:
  explicit CSession(const std::string& resource) {
    if (hvzelta_InitWithOptions(resource.c_str(), VI_FALSE, VI_FALSE, "", &vi_) != VI_SUCCESS) vi_ = VI_NULL;
  }
  ~CSession() {
    if (vi_ != VI_NULL) hvzelta_close(vi_);
  }
  CSession(const CSession&) = delete;
  CSession& operator=(const CSession&) = delete;

  bool IsOpen() const { return vi_ != VI_NULL; }
  Contender Reads() {
    return {[this] {
      ViReal64 volts = 0;
      return Get(volts);
    }};
  }
  // The read that settles waits for the instrument to have executed them.
  Contender Sets() {
    return {[this] { return Set(100.0); },
            [this] {
              ViReal64 volts = 0;
              return Get(volts);
            }};
  }
  bool Get(ViReal64& volts) {
    return hvzelta_GetAttributeViReal64(vi_, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, &volts) == VI_SUCCESS;
  }
  bool Set(ViReal64 volts) {
    return hvzelta_SetAttributeViReal64(vi_, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, volts) == VI_SUCCESS;
  }

 private:
  ViSession vi_ = VI_NULL;
};

// The raw client is only the same work if each call sends the same program
// messages; the emulator counts them.
bool SendsItsMessages(const Contender& contender, std::uint64_t perCall, std::uint64_t settleMessages) {
  constexpr int kCalls = 100;
  const std::uint64_t before = Emulator().MessageCount();
  for (int i = 0; i < kCalls; ++i) {
    if (!contender.call()) return false;
  }
  return contender.settle() && Emulator().MessageCount() - before == kCalls * perCall + settleMessages;
}

// Initialize with IdQuery and Reset and close, against a raw client that
// connects and makes the same two exchanges.
Contender Initializes() {
  return {[] {
    ViSession vi = VI_NULL;
    if (hvzelta_InitWithOptions(SocketResource().c_str(), VI_TRUE, VI_TRUE, "", &vi) != VI_SUCCESS) return false;
    return hvzelta_close(vi) == VI_SUCCESS;
  }};
}
Contender RawInitializes() {
  return {[] {
    RawSocketClient client(Endpoints().socketPort);
    std::string reply;
    return client.Query("*IDN?\n", reply) && client.Query("*RST;*OPC?\n", reply);
  }};
}

constexpr const char* kSocketRead = "C GetAttributeViReal64 \"VOLT?\" to the emulator / raw round trip";
constexpr const char* kInitialize =
    "C InitWithOptions with IdQuery and Reset, and close / raw connect and the same exchanges";
constexpr const char* kHislipRead = "the same C read over HiSLIP / raw socket round trip";
constexpr const char* kVxi11Read = "the same C read over VXI-11 / raw socket round trip";

// What a PyVISA-py reference script measured, in seconds: the number on
// its line "pyvisa <what> <seconds>", or a negative number when it had none
// to give (its reason is printed).
double PyVisaSeconds(const char* script, std::uint16_t port, const char* what) {
  const std::string command = std::string("/usr/bin/python3 ") + script + " " + std::to_string(port);
  const std::string prefix = std::string("pyvisa ") + what + " ";
  double seconds = -1;
  if (FILE* output = popen(command.c_str(), "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, output)) {
      if (std::string_view(line).starts_with(prefix)) {
        seconds = std::strtod(line + prefix.size(), nullptr);
      } else {
        std::fprintf(stderr, "%s", line);
      }
    }
    pclose(output);
  }
  return seconds;
}

// Ours against a PyVISA-py figure, or why there is no such row.
void ComparePyVisa(const char* figure, double oursNanoseconds, double pyvisaSeconds, const Goal& goal) {
  if (oursNanoseconds <= 0 || pyvisaSeconds <= 0) {
    hvzelta::bench::PrintNotMeasured(figure, goal, hvzelta::bench::Row::kResult,
                                     oursNanoseconds <= 0 ? "NOT MEASURED" : "SKIPPED (no PyVISA-py for /usr/bin/python3)");
    return;
  }
  hvzelta::bench::PrintResult(figure, hvzelta::bench::Duration(oursNanoseconds),
                              hvzelta::bench::Duration(pyvisaSeconds * 1e9), oursNanoseconds / (pyvisaSeconds * 1e9),
                              goal);
}

struct Figure {
  const char* figure;
  Contender ours;
  std::uint64_t settleMessages;  // what ours.settle sends
  Contender reference;
  Goal goal;
  int callsPerRound;
  std::uint64_t messagesPerCall = 1;
};

}  // namespace

int main() {
  hvzelta::bench::StayOnOneCore();  // before any peer starts its threads
  RawSocketClient raw(Endpoints().socketPort);
  std::string reply;
  const Contender rawReads{[&] {
    double volts = 0;
    return raw.QueryReal("VOLT?\n", reply, volts);
  }};
  const Contender rawSends{[&] { return raw.Send("VOLT 100\n"); }, [&] { return raw.Query("*OPC?\n", reply); }};
  CSession socket(SocketResource());
  CSession hislip(HislipResource());
  CSession vxi11(Vxi11Resource());
  if (!socket.IsOpen() || !hislip.IsOpen() || !vxi11.IsOpen()) {
    std::fprintf(stderr, "a session on the emulator did not open (socket %d, HiSLIP %d, VXI-11 %d)\n", socket.IsOpen(),
                 hislip.IsOpen(), vxi11.IsOpen());
  }
  char text[64];
  volatile double level = 100.0;
  const auto formatCommand = [&] { return std::snprintf(text, sizeof text, "VOLT %.15g", level) > 0; };
  const auto settleBoth = [&] { return socket.Sets().settle() && rawSends.settle(); };
  if (hvzelta::bench::CountInstructions({
          {"driver's own instructions per C set command to the emulator / snprintf(\"VOLT %.15g\")",
           socket.Sets().call, rawSends.call, formatCommand, Goal::AtMost(1.5), settleBoth},
          {kSocketRead, socket.Reads().call, rawReads.call, formatCommand},
          {kHislipRead, hislip.Reads().call, rawReads.call, formatCommand},
          {kVxi11Read, vxi11.Reads().call, rawReads.call, formatCommand},
          {kInitialize, Initializes().call, RawInitializes().call, formatCommand},
      })) {
    return 0;
  }
  constexpr int kInitializesPerRound = 4;
  const Figure figures[] = {
      {kSocketRead, socket.Reads(), 0, rawReads,
       Goal::AtMost(1.10), kQueriesPerRound},
      {"C SetAttributeViReal64 \"VOLT 100\" to the emulator / raw send", socket.Sets(), 1, rawSends, Goal::Report(),
       kCommandsPerRound},
      {kHislipRead, hislip.Reads(), 0, rawReads, Goal::AtMost(1.15),
       kQueriesPerRound},
      {kVxi11Read, vxi11.Reads(), 0, rawReads, Goal::AtMost(2.2),
       kQueriesPerRound},
      {kInitialize, Initializes(), 0, RawInitializes(), Goal::AtMost(1.15), kInitializesPerRound, 2},
  };
  constexpr int kRounds = 101;
  double vxi11Nanoseconds = 0;
  double initializeNanoseconds = 0;
  for (const Figure& figure : figures) {
    if (!SendsItsMessages(figure.ours, figure.messagesPerCall, figure.settleMessages)) {
      hvzelta::bench::PrintNotMeasured(figure.figure, figure.goal, hvzelta::bench::Row::kResult,
                                       "NOT MEASURED (a call failed or did not send its messages)");
      continue;
    }
    const auto result = hvzelta::bench::RunPaired(figure.ours, figure.reference, kRounds, figure.callsPerRound);
    if (!result.ok) {
      hvzelta::bench::PrintNotMeasured(figure.figure, figure.goal, hvzelta::bench::Row::kResult,
                                       "NOT MEASURED (a call failed)");
      continue;
    }
    hvzelta::bench::PrintResult(figure.figure, hvzelta::bench::Duration(result.ours),
                                hvzelta::bench::Duration(result.reference), result.ratio, figure.goal);
    if (std::string_view(figure.figure) == kVxi11Read) vxi11Nanoseconds = result.ours;
    if (std::string_view(figure.figure) == kInitialize) initializeNanoseconds = result.ours;
  }
  ComparePyVisa("the same VXI-11 read / PyVISA-py's VXI-11 query of the emulator", vxi11Nanoseconds,
                PyVisaSeconds(HVZELTA_PYVISA_VXI11_SCRIPT, Endpoints().portmapperPort, "vxi11"), Goal::AtMost(0.5));
  ComparePyVisa("the same Initialize and close / PyVISA-py's open_resource, the same queries and close",
                initializeNanoseconds, PyVisaSeconds(HVZELTA_PYVISA_OPEN_SCRIPT, Endpoints().socketPort, "open"),
                Goal::Report());
  return 0;
}
