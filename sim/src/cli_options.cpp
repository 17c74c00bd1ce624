#include "cli_options.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>

#include "model_catalog.h"

namespace zta_sim {

namespace {

constexpr std::uint16_t kDefaultSocketPort = 5025;
constexpr std::uint16_t kDefaultPortmapperPort = 111;

constexpr std::array<std::pair<std::string_view, FaultKind>, 10> kFaultNames{{
    {"stall", FaultKind::Stall},
    {"drop", FaultKind::Drop},
    {"garbage", FaultKind::Garbage},
    {"truncate", FaultKind::Truncate},
    {"oversize", FaultKind::Oversize},
    {"short-block", FaultKind::ShortBlock},
    {"late", FaultKind::Late},
    {"doubled", FaultKind::Doubled},
    {"split", FaultKind::Split},
    {"trickle", FaultKind::Trickle},
}};

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if constexpr (std::is_floating_point_v<Number>) {
    if (!std::isfinite(value)) return std::nullopt;
  }
  return value;
}

// "KIND@N" strikes message N, "KIND%P" each message with P percent chance.
std::optional<Fault> ParseFault(std::string_view text) {
  const std::size_t at = text.find_first_of("@%");
  if (at == std::string_view::npos) return std::nullopt;
  Fault fault;
  bool known = false;
  for (const auto& [name, kind] : kFaultNames) {
    if (name == text.substr(0, at)) {
      fault.kind = kind;
      known = true;
    }
  }
  if (!known) return std::nullopt;
  if (text[at] == '@') {
    const auto message = ParseNumber<std::uint64_t>(text.substr(at + 1));
    if (!message || *message == 0) return std::nullopt;
    fault.atMessage = *message;
  } else {
    const auto percent = ParseNumber<double>(text.substr(at + 1));
    if (!percent || *percent < 0.0 || *percent > 100.0) return std::nullopt;
    fault.probability = *percent / 100.0;
  }
  return fault;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  CommandLine Run() {
    result_.options.socketPort = kDefaultSocketPort;
    result_.options.portmapperPort = kDefaultPortmapperPort;
    while (index_ < arguments_.size() && result_.error.empty() && !result_.help) Next();
    return std::move(result_);
  }

 private:
  void Next() {
    std::string_view argument = arguments_[index_++];
    inlineValue_.reset();
    if (const std::size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string_view::npos) {
      inlineValue_ = argument.substr(equals + 1);
      argument = argument.substr(0, equals);
    }
    Options& o = result_.options;
    if (argument == "--help" || argument == "-h") {
      result_.help = true;
    } else if (argument == "--port") {
      Port(o.socketPort);
    } else if (argument == "--no-socket") {
      o.socket = false;
    } else if (argument == "--bind") {
      if (const auto value = Value()) o.bindAddress = *value;
    } else if (argument == "--model") {
      if (const auto value = Value()) {
        const ModelInfo* model = FindModel(*value);
        if (model == nullptr) return Fail("unknown model '" + std::string(*value) + "'");
        o.model = model->model;
      }
    } else if (argument == "--idn") {
      if (const auto value = Value()) o.idn = *value;
    } else if (argument == "--serial") {
      o.serial = true;
    } else if (argument == "--vxi11") {
      o.vxi11 = true;
    } else if (argument == "--vxi11-port") {
      Port(o.vxi11Port);
    } else if (argument == "--portmapper-port") {
      Port(o.portmapperPort);
    } else if (argument == "--hislip") {
      o.hislip = true;
    } else if (argument == "--hislip-port") {
      Port(o.hislipPort);
    } else if (argument == "--resistance") {
      Real(o.load.resistanceOhm, 1e-3);
    } else if (argument == "--inductance") {
      Real(o.load.inductanceHenry, 0.0);
    } else if (argument == "--crest-factor") {
      Real(o.load.crestFactor, 1.0);
    } else if (argument == "--noise") {
      Real(o.noise, 0.0);
    } else if (argument == "--seed") {
      if (const auto value = Value()) {
        const auto seed = ParseNumber<std::uint64_t>(*value);
        if (!seed) return Fail("--seed takes a whole number");
        o.seed = *seed;
      }
    } else if (argument == "--delay") {
      Millis(o.faults.replyDelay);
    } else if (argument == "--late") {
      Millis(o.faults.lateDelay);
    } else if (argument == "--trickle-interval") {
      Millis(o.faults.trickleInterval);
    } else if (argument == "--idle-timeout") {
      Millis(o.idleTimeout);
    } else if (argument == "--fault") {
      if (const auto value = Value()) {
        const auto fault = ParseFault(*value);
        if (!fault) return Fail("--fault takes KIND@N or KIND%P, KIND one of stall, drop, garbage, truncate, "
                                "oversize, short-block, late, doubled, split, trickle");
        o.faults.faults.push_back(*fault);
      }
    } else {
      Fail("unknown option '" + std::string(argument) + "'");
    }
  }

  std::optional<std::string_view> Value() {
    if (inlineValue_) return inlineValue_;
    if (index_ >= arguments_.size()) {
      Fail(arguments_[index_ - 1] + " needs a value");
      return std::nullopt;
    }
    return arguments_[index_++];
  }

  void Port(std::uint16_t& port) {
    const auto value = Value();
    if (!value) return;
    const auto number = ParseNumber<std::uint16_t>(*value);
    if (!number) return Fail("a port is a number from 0 to 65535, not '" + std::string(*value) + "'");
    port = *number;
  }

  void Real(double& target, double min) {
    const auto value = Value();
    if (!value) return;
    const auto number = ParseNumber<double>(*value);
    if (!number || *number < min) return Fail("'" + std::string(*value) + "' is not a number of at least " +
                                              std::to_string(min));
    target = *number;
  }

  void Millis(std::chrono::milliseconds& target) {
    const auto value = Value();
    if (!value) return;
    const auto number = ParseNumber<std::uint32_t>(*value);
    if (!number) return Fail("'" + std::string(*value) + "' is not a number of milliseconds");
    target = std::chrono::milliseconds(*number);
  }

  void Fail(std::string message) { result_.error = std::move(message); }

  const std::vector<std::string>& arguments_;
  std::size_t index_ = 0;
  std::optional<std::string_view> inlineValue_;
  CommandLine result_;
};

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) { return Parser(arguments).Run(); }

std::string Usage() {
  return "usage: hvzelta-sim [options]\n"
         "An emulated Halvorn ZTA-family AC power source, answering SCPI on loopback.\n\n" +
         OptionsHelp() + "\nThe endpoints are printed one a line, then \"ready\"; SIGINT or SIGTERM stops.\n";
}

std::string OptionsHelp() {
  return R"(Transports:
  --port N             raw SCPI socket port (default 5025; 0 takes a free one)
  --no-socket          do not serve the raw socket
  --serial             serve a pseudo-terminal as a serial line
  --vxi11              serve VXI-11 (core and abort channel)
  --vxi11-port N       VXI-11 core channel port (default 0: a free one)
  --portmapper-port N  port-mapper port for VXI-11 (default 111; 0: a free one)
  --hislip             serve HiSLIP (synchronized mode)
  --hislip-port N      HiSLIP port (default 0: a free one; 4880 is the usual)
  --bind ADDRESS       IPv4 address to listen on (default 127.0.0.1)

Instrument:
  --model NAME         ZTA100, ZTA200, ZTA300 or ZTA400 (default ZTA100)
  --idn TEXT           the whole *IDN? answer
  --resistance OHMS    load resistance (default 50)
  --inductance HENRY   load inductance (default 0)
  --crest-factor CF    crest factor of the load current (default 1.414)
  --noise REL          relative measurement noise (default 0: exact)
  --seed N             seed of the noise and of random faults (default 1)

Faults (message numbers count from 1 over all connections):
  --delay MS           delay every reply by MS milliseconds
  --fault KIND@N       fault on message N
  --fault KIND%P       fault on each message with probability P percent
                       KIND: stall, drop, garbage, truncate, oversize,
                       short-block, late, doubled, split, trickle
  --late MS            how long a 'late' fault holds a reply, and how long
                       after its first half a 'split' reply's rest comes
                       (default 2000)
  --trickle-interval MS  time between the chunks of a 'trickle' (default 500)

Connections:
  --idle-timeout MS    close a socket or VXI-11 connection that sends
                       nothing for MS milliseconds (default 0: never)
)";
}

}  // namespace zta_sim
