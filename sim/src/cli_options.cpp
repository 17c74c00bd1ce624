#include "cli_options.h"

#include <CLI/CLI.hpp>
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

// Each reads one value into the options; the problem, or empty.
std::string Port(std::uint16_t& port, std::string_view text) {
  const auto number = ParseNumber<std::uint16_t>(text);
  if (!number) return "a port is a number from 0 to 65535, not '" + std::string(text) + "'";
  port = *number;
  return {};
}

std::string Real(double& target, double min, std::string_view text) {
  const auto number = ParseNumber<double>(text);
  if (!number || *number < min) return "'" + std::string(text) + "' is not a number of at least " + std::to_string(min);
  target = *number;
  return {};
}

std::string Millis(std::chrono::milliseconds& target, std::string_view text) {
  const auto number = ParseNumber<std::uint32_t>(text);
  if (!number) return "'" + std::string(text) + "' is not a number of milliseconds";
  target = std::chrono::milliseconds(*number);
  return {};
}

struct ValueOption {
  const char* name;
  std::string (*read)(Options& options, std::string_view text);
};

constexpr ValueOption kValueOptions[] = {
    {"--port", [](Options& o, std::string_view v) { return Port(o.socketPort, v); }},
    {"--bind", [](Options& o, std::string_view v) { return o.bindAddress = v, std::string(); }},
    {"--model",
     [](Options& o, std::string_view v) {
       const ModelInfo* model = FindModel(v);
       if (model == nullptr) return "unknown model '" + std::string(v) + "'";
       o.model = model->model;
       return std::string();
     }},
    {"--idn", [](Options& o, std::string_view v) { return o.idn = v, std::string(); }},
    {"--vxi11-port", [](Options& o, std::string_view v) { return Port(o.vxi11Port, v); }},
    {"--portmapper-port", [](Options& o, std::string_view v) { return Port(o.portmapperPort, v); }},
    {"--hislip-port", [](Options& o, std::string_view v) { return Port(o.hislipPort, v); }},
    {"--resistance", [](Options& o, std::string_view v) { return Real(o.load.resistanceOhm, 1e-3, v); }},
    {"--inductance", [](Options& o, std::string_view v) { return Real(o.load.inductanceHenry, 0.0, v); }},
    {"--crest-factor", [](Options& o, std::string_view v) { return Real(o.load.crestFactor, 1.0, v); }},
    {"--noise", [](Options& o, std::string_view v) { return Real(o.noise, 0.0, v); }},
    {"--seed",
     [](Options& o, std::string_view v) {
       const auto seed = ParseNumber<std::uint64_t>(v);
       if (!seed) return std::string("--seed takes a whole number");
       o.seed = *seed;
       return std::string();
     }},
    {"--delay", [](Options& o, std::string_view v) { return Millis(o.faults.replyDelay, v); }},
    {"--late", [](Options& o, std::string_view v) { return Millis(o.faults.lateDelay, v); }},
    {"--trickle-interval", [](Options& o, std::string_view v) { return Millis(o.faults.trickleInterval, v); }},
    {"--idle-timeout", [](Options& o, std::string_view v) { return Millis(o.idleTimeout, v); }},
    // Given more than once, each one adds a fault.
    {"--fault",
     [](Options& o, std::string_view v) {
       const auto fault = ParseFault(v);
       if (!fault) {
         return std::string(
             "--fault takes KIND@N or KIND%P, KIND one of stall, drop, garbage, truncate, oversize, short-block, "
             "late, doubled, split, trickle");
       }
       o.faults.faults.push_back(*fault);
       return std::string();
     }},
};

struct FlagOption {
  const char* name;
  bool Options::*member;
  bool value;
};

constexpr FlagOption kFlagOptions[] = {{"--no-socket", &Options::socket, false},
                                       {"--serial", &Options::serial, true},
                                       {"--vxi11", &Options::vxi11, true},
                                       {"--hislip", &Options::hislip, true},
                                       {"--verbose", &Options::verbose, true}};

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  result.options.socketPort = kDefaultSocketPort;
  result.options.portmapperPort = kDefaultPortmapperPort;
  CLI::App app;
  app.set_help_flag("-h,--help");
  app.allow_extras();
  std::vector<std::vector<std::string>> values(std::size(kValueOptions));
  for (std::size_t i = 0; i < std::size(kValueOptions); ++i) {
    app.add_option(kValueOptions[i].name, values[i])->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  }
  std::vector<CLI::Option*> flags;
  for (const FlagOption& flag : kFlagOptions) flags.push_back(app.add_flag(flag.name));
  // CLI11 takes its words last to first.
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    result.help = true;
    return result;
  } catch (const CLI::ArgumentMismatch& failure) {
    const std::string text = failure.what();
    result.error = text.substr(0, text.find(':')) + " needs a value";
    return result;
  } catch (const CLI::ParseError& failure) {
    result.error = failure.what();
    return result;
  }
  if (const std::vector<std::string> extras = app.remaining(); !extras.empty()) {
    result.error = (extras.front().starts_with('-') ? "unknown option '" : "unexpected argument '") + extras.front() + "'";
    return result;
  }
  for (std::size_t i = 0; i < std::size(kFlagOptions); ++i) {
    if (flags[i]->count() > 0) result.options.*kFlagOptions[i].member = kFlagOptions[i].value;
  }
  for (std::size_t i = 0; i < std::size(kValueOptions) && result.error.empty(); ++i) {
    for (const std::string& value : values[i]) {
      result.error = kValueOptions[i].read(result.options, value);
      if (!result.error.empty()) break;
    }
  }
  return result;
}

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

Output:
  --verbose            print each program message received and the reply to
                       standard error
)";
}

}  // namespace zta_sim
