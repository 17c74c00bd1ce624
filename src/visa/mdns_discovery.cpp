// Discovery of LXI instruments announced over mDNS/DNS-SD, through the
// avahi-browse program of the machine's Avahi daemon: one browser per
// service type, all at once, each ended at the deadline. Without Avahi
// nothing is found and nothing is said.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <set>
#include <string_view>

#include "visa/resource_discovery.h"
#include "visa/unique_fd.h"

extern char** environ;

namespace hvzelta::visa {
namespace {

enum class Service { Lxi, Hislip, ScpiRaw };

struct ServiceType {
  const char* type;
  Service service;
};

constexpr ServiceType kServiceTypes[] = {
    {"_lxi._tcp", Service::Lxi}, {"_hislip._tcp", Service::Hislip}, {"_scpi-raw._tcp", Service::ScpiRaw}};

struct Browser {
  pid_t pid = -1;
  UniqueFd output;
  Service service = Service::Lxi;
  std::string text;
};

bool Start(const ServiceType& type, Browser& browser) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  UniqueFd readEnd(pipeFds[0]);
  UniqueFd writeEnd(pipeFds[1]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char program[] = "avahi-browse";
  char flags[] = "--resolve";
  char terminate[] = "--terminate";
  char parsable[] = "--parsable";
  char noLookup[] = "--no-db-lookup";
  std::string typeName = type.type;
  char* argv[] = {program, flags, terminate, parsable, noLookup, typeName.data(), nullptr};
  const bool started = ::posix_spawnp(&browser.pid, program, &actions, nullptr, argv, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!started) return false;
  browser.output = std::move(readEnd);
  browser.service = type.service;
  return true;
}

// "=;iface;IPv4;name;type;domain;host;address;port;txt": a resolved service.
void AddResolved(std::string_view line, Service service, std::set<std::string>& names) {
  if (line.empty() || line[0] != '=') return;
  std::array<std::string_view, 10> fields{};
  std::size_t count = 0;
  while (count < fields.size()) {
    const std::size_t semicolon = line.find(';');
    fields[count++] = line.substr(0, semicolon);
    if (semicolon == std::string_view::npos) break;
    line.remove_prefix(semicolon + 1);
  }
  if (count < 9) return;
  const bool ipv6 = fields[2] == "IPv6";
  std::string host = ipv6 ? "[" + std::string(fields[7]) + "]" : std::string(fields[7]);
  unsigned port = 0;
  const std::string_view digits = fields[8];
  auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (host.empty() || problem != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535)
    return;
  switch (service) {
    case Service::Lxi:
      names.insert("TCPIP0::" + host + "::inst0::INSTR");
      break;
    case Service::Hislip:
      names.insert("TCPIP0::" + host + "::hislip0" + (port == 4880 ? "" : "," + std::to_string(port)) + "::INSTR");
      break;
    case Service::ScpiRaw:
      names.insert("TCPIP0::" + host + "::" + std::to_string(port) + "::SOCKET");
      break;
  }
}

}  // namespace

std::vector<std::string> FindMdnsInstruments(std::chrono::milliseconds wait) {
  std::vector<Browser> browsers;
  for (const ServiceType& type : kServiceTypes) {
    Browser browser;
    if (!Start(type, browser)) break;  // no avahi-browse: the others fail alike
    browsers.push_back(std::move(browser));
  }
  const auto end = std::chrono::steady_clock::now() + wait;
  std::size_t open = browsers.size();
  while (open > 0) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    std::vector<pollfd> ready;
    for (const Browser& browser : browsers) {
      if (browser.output.Valid()) ready.push_back({browser.output.Get(), POLLIN, 0});
    }
    if (::poll(ready.data(), ready.size(), static_cast<int>(left)) <= 0) break;
    for (Browser& browser : browsers) {
      if (!browser.output.Valid()) continue;
      char chunk[4096];
      pollfd one{browser.output.Get(), POLLIN, 0};
      if (::poll(&one, 1, 0) <= 0) continue;
      const ssize_t got = ::read(browser.output.Get(), chunk, sizeof chunk);
      if (got > 0 && browser.text.size() < (1u << 20)) {
        browser.text.append(chunk, static_cast<std::size_t>(got));
      } else if (got <= 0) {
        browser.output.Reset();
        --open;
      }
    }
  }
  std::set<std::string> names;
  for (Browser& browser : browsers) {
    ::kill(browser.pid, SIGTERM);
    ::waitpid(browser.pid, nullptr, 0);
    std::string_view text = browser.text;
    while (!text.empty()) {
      const std::size_t newline = text.find('\n');
      AddResolved(text.substr(0, newline), browser.service, names);
      if (newline == std::string_view::npos) break;
      text.remove_prefix(newline + 1);
    }
  }
  return {names.begin(), names.end()};
}

}  // namespace hvzelta::visa
