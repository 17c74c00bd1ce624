#include "visa/resource_discovery.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <future>
#include <string_view>

namespace hvzelta::visa {
namespace {

std::atomic<AliasSource> aliasSource{nullptr};

std::string_view Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && problem == std::errc() && end == text.data() + text.size();
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  while (!text.empty()) {
    const std::size_t comma = text.find_first_of(", ");
    if (std::string_view item = text.substr(0, comma); !item.empty()) items.emplace_back(item);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return items;
}

}  // namespace

DiscoveryOptions DiscoveryOptionsFromEnvironment() {
  DiscoveryOptions options;
  options.vxi11Targets = SplitList(Environment("HVZELTA_VXI11_SUBNETS"));
  std::uint16_t port = 0;
  if (ParseNumber(Environment("HVZELTA_PORTMAPPER_PORT"), port) && port != 0) options.portmapperPort = port;
  unsigned waitMs = 0;
  if (ParseNumber(Environment("HVZELTA_DISCOVERY_WAIT_MS"), waitMs) && waitMs <= 60000)
    options.networkWait = std::chrono::milliseconds(waitMs);
  options.mdns = Environment("HVZELTA_MDNS_DISCOVERY") != "0";
  return options;
}

void SetAliasSource(AliasSource source) { aliasSource.store(source); }

std::vector<ResourceAlias> ResourceAliases() {
  const AliasSource source = aliasSource.load();
  return source ? source() : std::vector<ResourceAlias>{};
}

std::vector<std::string> DiscoverResources(const ResourcePattern& pattern, const DiscoveryOptions& options) {
  std::vector<std::string> all = FindSerialPorts(options.devRoot, options.sysfsRoot);
  auto append = [&all](std::vector<std::string> more) {
    all.insert(all.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  };
  // The two network searches wait for answers: they wait together.
  std::future<std::vector<std::string>> lxi;
  if (options.mdns) lxi = std::async(std::launch::async, FindMdnsInstruments, options.networkWait);
  append(FindUsbTmcInstruments(options.sysfsRoot));
  append(FindVxi11Instruments(options.vxi11Targets, options.portmapperPort, options.networkWait));
  if (lxi.valid()) append(lxi.get());
  for (ResourceAlias& alias : ResourceAliases()) all.push_back(std::move(alias.resource));

  std::vector<std::string> matching;
  for (std::string& name : all) {
    if (pattern.Matches(name)) matching.push_back(std::move(name));
  }
  std::sort(matching.begin(), matching.end());
  matching.erase(std::unique(matching.begin(), matching.end()), matching.end());
  return matching;
}

}  // namespace hvzelta::visa
