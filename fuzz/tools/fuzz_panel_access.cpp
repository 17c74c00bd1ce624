// The panel's web server judges every request by its Host, Origin,
// Content-Type and token, text any client on the network may send, and
// reads --listen from the command line: any text must end in a verdict or a
// refusal, never a crash.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "panel_access.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hvzelta::cli;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  // The lines of the input: the listen address, then method, Host, Origin,
  // Content-Type and token of one request.
  std::vector<std::string_view> lines;
  while (lines.size() < 5) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  lines.push_back(text);

  std::string error;
  const auto address = ParseListenAddress(lines[0], error);
  const ListenAddress listen = address.value_or(ListenAddress{"127.0.0.1", 8080});
  for (const char* token : {"", "0123456789abcdef0123456789abcdef"}) {
    const AccessPolicy policy(listen, token);
    (void)policy.Refusal({lines[1], lines[2], lines[3], lines[4], lines[5]});
  }
  return 0;
}
