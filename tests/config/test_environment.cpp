#include "test_environment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace hvzelta::testing {

TestEnvironment::TestEnvironment() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/hvzelta-config-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  Unset("IVI_CONFIG_STORE");
  Unset("IVI_STANDARD_ROOT_DIR");
  Set("HOME", PathOf("home"));
  Set("XDG_DATA_HOME", PathOf("home/.data"));
}

TestEnvironment::~TestEnvironment() {
  for (const auto& [variable, value] : saved_) {
    if (value) {
      setenv(variable.c_str(), value->c_str(), 1);
    } else {
      unsetenv(variable.c_str());
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void TestEnvironment::Remember(const std::string& variable) {
  if (saved_.count(variable)) return;
  const char* value = std::getenv(variable.c_str());
  saved_[variable] = value ? std::optional<std::string>(value) : std::nullopt;
}

void TestEnvironment::Set(const std::string& variable, const std::string& value) {
  Remember(variable);
  setenv(variable.c_str(), value.c_str(), 1);
}

void TestEnvironment::Unset(const std::string& variable) {
  Remember(variable);
  unsetenv(variable.c_str());
}

std::string TestEnvironment::Write(std::string_view name, std::string_view text) const {
  const std::filesystem::path path = PathOf(name);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

std::string TestEnvironment::Read(std::string_view name) const {
  std::ifstream file(PathOf(name), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace hvzelta::testing
