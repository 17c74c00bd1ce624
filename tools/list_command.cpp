// "hvzelta list": the instruments this machine can reach, found as
// viFindRsrc finds them, and with --idn what each says it is.

#include <charconv>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "arguments.h"
#include "command.h"
#include "core/store_resource_aliases.h"
#include "json_output.h"
#include "progress.h"
#include "visa/builtin_visa.h"
#include "visa/resource_discovery.h"
#include "visa/resource_pattern.h"
#include "visa/status_description.h"

namespace hvzelta::cli {
namespace {

using namespace hvzelta::visa;

constexpr OptionRule kListOptions[] = {
    {"json", false}, {"idn", false}, {"subnet", true}, {"portmapper-port", true}, {"wait", true}};
constexpr ViUInt32 kIdnTimeoutMs = 2000;

std::vector<std::string> SplitCommas(std::string_view text) {
  std::vector<std::string> items;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    if (comma > start) items.emplace_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && problem == std::errc() && end == text.data() + text.size();
}

// What the instrument answers to *IDN?, or why it did not.
struct Identity {
  std::string text;
  bool ok = false;
};

Identity AskIdentity(IVisaLibrary& visa, ViSession rm, const std::string& resource) {
  ViSession vi = VI_NULL;
  ViStatus status = visa.Open(rm, resource.c_str(), VI_NO_LOCK, kIdnTimeoutMs, &vi);
  std::string reply(256, '\0');
  ViUInt32 count = 0;
  if (ViSucceeded(status)) {
    visa.SetAttribute(vi, VI_ATTR_TMO_VALUE, kIdnTimeoutMs);
    visa.SetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE);
    status = visa.Write(vi, reinterpret_cast<const ViByte*>("*IDN?\n"), 6, &count);
  }
  if (ViSucceeded(status)) status = visa.Read(vi, reinterpret_cast<ViByte*>(reply.data()), 256, &count);
  if (vi != VI_NULL) visa.Close(vi);
  if (ViFailed(status)) {
    std::string description;
    DescribeStatus(status, description);
    return {description, false};
  }
  reply.resize(count);
  while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
  return {reply, true};
}

int List(std::span<const std::string_view> words, Streams& streams) {
  Arguments arguments;
  std::string error;
  if (!arguments.Parse(words, kListOptions, error) || arguments.Positional().size() > 1) {
    if (error.empty()) error = "more than one pattern";
    streams.err << "hvzelta list: " << error << " (see 'hvzelta help list')\n";
    return kExitUsage;
  }
  const std::string expression = arguments.Positional().empty() ? "?*" : arguments.Positional().front();
  std::optional<ResourcePattern> pattern;
  if (const ViStatus status = ResourcePattern::Compile(expression, pattern); status != VI_SUCCESS) {
    streams.err << "hvzelta list: '" << expression << "' is "
                << (status == VI_ERROR_NSUP_OPER ? "a pattern with an attribute expression, which is not supported"
                                                 : "not a valid resource pattern")
                << "\n";
    return kExitUsage;
  }
  DiscoveryOptions options = DiscoveryOptionsFromEnvironment();
  if (const std::optional<std::string> subnets = arguments.Value("subnet")) {
    for (std::string& target : SplitCommas(*subnets)) options.vxi11Targets.push_back(std::move(target));
  }
  if (const std::optional<std::string> port = arguments.Value("portmapper-port");
      port && (!ParseNumber(*port, options.portmapperPort) || options.portmapperPort == 0)) {
    streams.err << "hvzelta list: --portmapper-port takes a port number from 1 to 65535, not '" << *port << "'\n";
    return kExitUsage;
  }
  unsigned waitMs = 0;
  if (const std::optional<std::string> wait = arguments.Value("wait"); wait) {
    if (!ParseNumber(*wait, waitMs) || waitMs > 60000) {
      streams.err << "hvzelta list: --wait takes milliseconds from 0 to 60000, not '" << *wait << "'\n";
      return kExitUsage;
    }
    options.networkWait = std::chrono::milliseconds(waitMs);
  }

  SetAliasSource(&StoreResourceAliases);
  std::vector<std::string> found;
  {
    const Progress progress("looking for instruments");
    found = DiscoverResources(*pattern, options);
  }
  const bool idn = arguments.Has("idn");
  std::vector<Identity> identities;
  if (idn) {
    const std::shared_ptr<IVisaLibrary> visa = BuiltinVisaLibrary();
    ViSession rm = VI_NULL;
    visa->OpenDefaultRM(&rm);
    const Progress progress("asking each instrument *IDN?");
    for (const std::string& resource : found) identities.push_back(AskIdentity(*visa, rm, resource));
    visa->Close(rm);
  }

  if (arguments.Has("json")) {
    Json list = Json::array();
    for (std::size_t i = 0; i < found.size(); ++i) {
      Json entry = {{"resource", found[i]}};
      if (idn) entry[identities[i].ok ? "idn" : "error"] = identities[i].text;
      list.push_back(entry);
    }
    PrintJson(streams.out, list);
  } else {
    for (std::size_t i = 0; i < found.size(); ++i) {
      streams.out << found[i];
      if (idn) streams.out << "\t" << (identities[i].ok ? "" : "(no answer: ") << identities[i].text
                           << (identities[i].ok ? "" : ")");
      streams.out << "\n";
    }
    if (found.empty()) streams.err << "hvzelta list: no instrument found that matches '" << expression << "'\n";
  }
  return kExitSuccess;
}

const std::string kListUsage =
    "usage: hvzelta list [PATTERN] [--idn] [--json] [--subnet ADDRESSES] [--portmapper-port PORT] [--wait MS]\n"
    "Lists the instruments this machine reaches, as VISA programs find them:\n"
    "serial ports, USB-TMC devices, VXI-11 instruments whose port-mapper answers\n"
    "at the addresses of --subnet (\"192.0.2.0/24,127.0.0.1\", also taken from\n"
    "HVZELTA_VXI11_SUBNETS), instruments announced over mDNS where Avahi runs,\n"
    "and the hardware assets of the configuration store.\n"
    "  PATTERN            a VISA resource pattern (default \"?*\"), e.g. \"TCPIP?*INSTR\"\n"
    "  --idn              ask each instrument *IDN? and print its answer\n"
    "  --json             print a JSON list of {\"resource\", \"idn\" or \"error\"}\n"
    "  --portmapper-port  where the port-mappers listen (default 111)\n"
    "  --wait             how long network answers are awaited (default 600 ms)\n";

}  // namespace

const Command kListCommand{"list", "list the instruments this machine reaches", kListUsage, &List, false};

}  // namespace hvzelta::cli
