#pragma once

// A private folder for one test, with the environment the store and the
// registration read pointed into it: IVI_CONFIG_STORE and
// IVI_STANDARD_ROOT_DIR unset, HOME and XDG_DATA_HOME inside the folder.
// Everything is restored and removed when the test ends.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace hvzelta::testing {

class TestEnvironment {
 public:
  TestEnvironment() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hvzelta-config-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    Unset("IVI_CONFIG_STORE");
    Unset("IVI_STANDARD_ROOT_DIR");
    Set("HOME", PathOf("home"));
    Set("XDG_DATA_HOME", PathOf("home/.data"));
  }
  ~TestEnvironment() {
    for (const auto& [variable, value] : saved_) {
      value ? setenv(variable.c_str(), value->c_str(), 1) : unsetenv(variable.c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

  const std::string& Folder() const { return folder_; }
  std::string PathOf(std::string_view name) const { return folder_ + "/" + std::string(name); }
  // Writes a file below the folder (creating its folders) and returns its path.
  std::string Write(std::string_view name, std::string_view text) const {
    const std::filesystem::path path = PathOf(name);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  std::string Read(std::string_view name) const {
    std::ifstream file(PathOf(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
  }
  void Set(const std::string& variable, const std::string& value) {
    Remember(variable);
    setenv(variable.c_str(), value.c_str(), 1);
  }
  void Unset(const std::string& variable) {
    Remember(variable);
    unsetenv(variable.c_str());
  }

 private:
  void Remember(const std::string& variable) {
    const char* value = std::getenv(variable.c_str());
    saved_.try_emplace(variable, value ? std::optional<std::string>(value) : std::nullopt);
  }

  std::string folder_;
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace hvzelta::testing
