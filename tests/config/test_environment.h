#pragma once

// A private folder for one test, with the environment the store and the
// registration read pointed into it: IVI_CONFIG_STORE and
// IVI_STANDARD_ROOT_DIR unset, HOME and XDG_DATA_HOME inside the folder.
// Everything is restored and removed when the test ends. Each test process
// makes its own folder, so tests run in parallel without meeting.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace hvzelta::testing {

class TestEnvironment {
 public:
  TestEnvironment();
  ~TestEnvironment();
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

  const std::string& Folder() const { return folder_; }
  std::string PathOf(std::string_view name) const { return folder_ + "/" + std::string(name); }
  // Writes a file below the folder (creating its folders) and returns its path.
  std::string Write(std::string_view name, std::string_view text) const;
  std::string Read(std::string_view name) const;

  void Set(const std::string& variable, const std::string& value);
  void Unset(const std::string& variable);

 private:
  void Remember(const std::string& variable);

  std::string folder_;
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace hvzelta::testing
