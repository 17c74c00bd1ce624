#include "platform/ivi_directories.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace hvzelta {

std::string IviRootDirectory() {
  const char* value = std::getenv("IVI_STANDARD_ROOT_DIR");
  return value ? std::string(value) : std::string();
}

std::string ComponentDirectory() {
  const std::string root = IviRootDirectory();
  if (root.empty()) return {};
  const std::filesystem::path components = std::filesystem::path(root) / "Components";
  const std::filesystem::path own = components / kCompanyName;
  std::error_code error;
  if (std::filesystem::is_directory(own, error)) return own.string();
  return (components / kFallbackComponentFolder).string();
}

}  // namespace hvzelta
