#pragma once

// Who may use the panel's web server. A panel switches mains voltage, so
// every request is checked before it is routed:
//  - Host must name the address the server listens on (or, on loopback, a
//    loopback name), which defeats DNS rebinding;
//  - Origin, when the browser sends one, must be the page's own origin, and
//    a change must be a POST of JSON, which no other site can send without
//    the browser asking first;
//  - with a token (always off loopback) the request must carry it, in the
//    "token" query parameter or the X-Panel-Token header.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hvzelta::cli {

struct ListenAddress {
  std::string host;  // numeric, IPv6 without brackets
  std::uint16_t port = 0;
  bool ipv6 = false;
  bool loopback = true;

  // "127.0.0.1:8080", "[::1]:0"; "host" alone in URLs and Host headers
  // ("[::1]").
  std::string UrlHost() const { return ipv6 ? "[" + host + "]" : host; }
};

// Reads ADDR:PORT, [IPV6]:PORT or "localhost:PORT"; nullopt with `error`
// set when the address is no numeric one of this machine's kind or names
// every interface (0.0.0.0, ::), which would leave Host unchecked.
std::optional<ListenAddress> ParseListenAddress(std::string_view text, std::string& error);

// 32 hexadecimal digits from /dev/urandom; empty when it cannot be read.
std::string RandomToken();

// What one request shows of itself.
struct RequestFacts {
  std::string_view method;       // "GET", "POST", ...
  std::string_view host;         // the Host header
  std::string_view origin;       // the Origin header, empty when absent
  std::string_view contentType;  // of a POST
  std::string_view token;        // from the query or the header, empty when absent
};

class AccessPolicy {
 public:
  // `address` with the port the server really took; `token` empty for none.
  AccessPolicy(const ListenAddress& address, std::string token);

  // Why the request is refused, or nullopt when it may go on.
  std::optional<std::string> Refusal(const RequestFacts& request) const;

  const std::string& Token() const { return token_; }

 private:
  std::vector<std::string> hosts_;  // the Host values accepted, "name:port"
  std::string token_;
};

}  // namespace hvzelta::cli
