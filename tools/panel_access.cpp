#include "panel_access.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>

namespace hvzelta::cli {
namespace {

// Compares all of both texts, so that how long a wrong token took to refuse
// tells nothing about how much of it was right.
bool SameSecret(std::string_view given, std::string_view expected) {
  unsigned difference = given.size() == expected.size() ? 0U : 1U;
  for (std::size_t i = 0; i < given.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i]) ^
                  static_cast<unsigned char>(i < expected.size() ? expected[i] : 0);
  }
  return difference == 0;
}

bool IsLoopback(const ListenAddress& address) {
  if (address.ipv6) return address.host == "::1";
  in_addr ip{};
  inet_pton(AF_INET, address.host.c_str(), &ip);
  return (ntohl(ip.s_addr) >> 24) == 127;
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(std::string_view text, std::string& error) {
  ListenAddress address;
  std::string_view host;
  std::string_view port;
  if (text.starts_with('[')) {
    const std::size_t close = text.find("]:");
    if (close == std::string_view::npos) {
      error = "--listen takes ADDRESS:PORT, an IPv6 address in brackets: [::1]:8080";
      return std::nullopt;
    }
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
    address.ipv6 = true;
  } else {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || text.find(':') != colon) {
      error = "--listen takes ADDRESS:PORT, e.g. 127.0.0.1:8080 (port 0 takes a free one)";
      return std::nullopt;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  unsigned number = 0;
  const auto [end, failure] = std::from_chars(port.data(), port.data() + port.size(), number);
  if (port.empty() || failure != std::errc() || end != port.data() + port.size() || number > 65535) {
    error = "the port of --listen '" + std::string(text) + "' is no number from 0 to 65535";
    return std::nullopt;
  }
  address.port = static_cast<std::uint16_t>(number);
  address.host = host == "localhost" ? "127.0.0.1" : std::string(host);
  std::array<unsigned char, 16> bytes{};
  if (inet_pton(address.ipv6 ? AF_INET6 : AF_INET, address.host.c_str(), bytes.data()) != 1) {
    error = "'" + std::string(host) + "' in --listen is no numeric " + (address.ipv6 ? "IPv6" : "IPv4") + " address";
    return std::nullopt;
  }
  if (std::all_of(bytes.begin(), bytes.end(), [](unsigned char byte) { return byte == 0; })) {
    error = "--listen needs one address of this machine, not every interface ('" + std::string(host) + "')";
    return std::nullopt;
  }
  address.loopback = IsLoopback(address);
  return address;
}

std::string RandomToken() {
  std::ifstream random("/dev/urandom", std::ios::binary);
  std::array<unsigned char, 16> bytes{};
  if (!random.read(reinterpret_cast<char*>(bytes.data()), bytes.size())) return {};
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string token;
  for (const unsigned char byte : bytes) {
    token += kDigits[byte >> 4];
    token += kDigits[byte & 0x0F];
  }
  return token;
}

AccessPolicy::AccessPolicy(const ListenAddress& address, std::string token) : token_(std::move(token)) {
  const std::string port = ":" + std::to_string(address.port);
  hosts_.push_back(address.UrlHost() + port);
  if (address.loopback) {
    for (const char* name : {"localhost", "127.0.0.1", "[::1]"}) {
      if (hosts_.front() != name + port) hosts_.push_back(name + port);
    }
  }
}

std::optional<std::string> AccessPolicy::Refusal(const RequestFacts& request) const {
  if (std::find(hosts_.begin(), hosts_.end(), request.host) == hosts_.end()) {
    return "the Host header '" + std::string(request.host) + "' is not this panel's address";
  }
  if (!request.origin.empty() && request.origin != "http://" + std::string(request.host)) {
    return "requests from '" + std::string(request.origin) + "' are refused; open the panel's own page";
  }
  if (!token_.empty() && !SameSecret(request.token, token_)) {
    return request.token.empty() ? "this panel needs its token: open the URL it printed"
                                 : "the token is wrong: open the URL the panel printed";
  }
  if (request.method == "POST" && !request.contentType.starts_with("application/json")) {
    return "changes are POSTs of application/json";
  }
  if (request.method != "GET" && request.method != "POST") {
    return "the panel answers GET and POST only";
  }
  return std::nullopt;
}

}  // namespace hvzelta::cli
