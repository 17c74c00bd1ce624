#include "panel_access.h"

#include <gtest/gtest.h>

#include <set>

namespace hvzelta::cli {
namespace {

TEST(ListenAddress, NumericAddressesWithAPortAreTakenAndWildcardsOrNamesRefused) {
  struct Case {
    const char* text;
    const char* host;  // nullptr: refused
    std::uint16_t port = 0;
    bool loopback = false;
  };
  for (const Case& c : {Case{"127.0.0.1:0", "127.0.0.1", 0, true}, Case{"127.8.9.10:80", "127.8.9.10", 80, true},
                        Case{"localhost:8080", "127.0.0.1", 8080, true}, Case{"[::1]:65535", "::1", 65535, true},
                        Case{"192.0.2.7:8080", "192.0.2.7", 8080, false}, Case{"[fd00::2]:1", "fd00::2", 1, false},
                        Case{"0.0.0.0:80", nullptr}, Case{"[::]:80", nullptr}, Case{"example.com:80", nullptr},
                        Case{"127.0.0.1", nullptr}, Case{"127.0.0.1:65536", nullptr}, Case{"127.0.0.1:8x", nullptr},
                        Case{"::1:80", nullptr}, Case{"[::1]80", nullptr}, Case{"[127.0.0.1]:80", nullptr}}) {
    std::string error;
    const auto address = ParseListenAddress(c.text, error);
    if (!c.host) {
      EXPECT_FALSE(address) << c.text;
      EXPECT_NE(error, "") << c.text;
      continue;
    }
    ASSERT_TRUE(address) << c.text << ": " << error;
    EXPECT_EQ(address->host, c.host);
    EXPECT_EQ(address->port, c.port);
    EXPECT_EQ(address->loopback, c.loopback) << c.text;
  }
}

TEST(AccessPolicy, OnlyThePanelsOwnHostOriginAndTokenPass) {
  std::string error;
  const AccessPolicy loopback(*ParseListenAddress("127.0.0.1:8080", error), "");
  const AccessPolicy remote(*ParseListenAddress("192.0.2.7:8080", error), "secret");
  struct Case {
    const AccessPolicy* policy;
    RequestFacts request;
    bool allowed;
  };
  const Case cases[] = {
      {&loopback, {"GET", "127.0.0.1:8080", "", "", ""}, true},
      {&loopback, {"GET", "localhost:8080", "http://localhost:8080", "", ""}, true},
      {&loopback, {"POST", "[::1]:8080", "http://[::1]:8080", "application/json", ""}, true},
      {&loopback, {"GET", "attacker.example:8080", "", "", ""}, false},  // DNS rebinding
      {&loopback, {"GET", "localhost:8081", "", "", ""}, false},
      {&loopback, {"POST", "localhost:8080", "http://attacker.example", "application/json", ""}, false},
      {&loopback, {"POST", "localhost:8080", "http://127.0.0.1:8080", "application/json", ""}, false},
      {&loopback, {"POST", "localhost:8080", "", "text/plain", ""}, false},  // a form needs no preflight
      {&loopback, {"PUT", "localhost:8080", "", "application/json", ""}, false},
      {&remote, {"GET", "192.0.2.7:8080", "", "", "secret"}, true},
      {&remote, {"GET", "192.0.2.7:8080", "", "", ""}, false},
      {&remote, {"GET", "192.0.2.7:8080", "", "", "secreT"}, false},
      {&remote, {"GET", "192.0.2.7:8080", "", "", "secret2"}, false},
      {&remote, {"GET", "localhost:8080", "", "", "secret"}, false},  // not where it listens
  };
  for (const Case& c : cases) {
    const auto refusal = c.policy->Refusal(c.request);
    EXPECT_EQ(!refusal, c.allowed) << c.request.method << " Host " << c.request.host << " Origin " << c.request.origin
                                   << " token " << c.request.token << ": " << refusal.value_or("allowed");
  }
}

TEST(AccessPolicy, TokensAreRandomHex) {
  std::set<std::string> tokens;
  for (int i = 0; i < 8; ++i) {
    const std::string token = RandomToken();
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(token.size(), 32U);
    tokens.insert(token);
  }
  EXPECT_EQ(tokens.size(), 8U);
}

}  // namespace
}  // namespace hvzelta::cli
