#include "visa/sysfs_value.h"

#include <charconv>
#include <fstream>

#include "platform/text.h"

namespace hvzelta::visa {

std::string ReadSysfsValue(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  if (line.size() > 256) line.resize(256);
  return std::string(TrimWhiteSpace(line));
}

std::optional<unsigned long> ReadSysfsHex(const std::filesystem::path& file) {
  const std::string text = ReadSysfsValue(file);
  unsigned long value = 0;
  const char* end = text.data() + text.size();
  auto [stop, problem] = std::from_chars(text.data(), end, value, 16);
  if (text.empty() || text.size() > 8 || problem != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace hvzelta::visa
