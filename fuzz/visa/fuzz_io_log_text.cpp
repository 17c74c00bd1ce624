// What an instrument sends is shown in the I/O log: any bytes must give one
// quoted line, printable ASCII only (no line end that would split it), and a
// bounded length however long the message or whatever its block headers claim.

#include <cstddef>
#include <cstdint>
#include <span>

#include "visa/io_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string shown = hvzelta::visa::DescribeBytes(std::span<const std::uint8_t>(data, size));
  if (shown.empty() || shown.front() != '"' || shown.size() > 300) __builtin_trap();
  for (const char c : shown) {
    if (c < 0x20 || c > 0x7E) __builtin_trap();
  }
  return 0;
}
