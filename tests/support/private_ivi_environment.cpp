// Linked into a test program, gives it an IVI installation of its own before
// main runs: IVI_CONFIG_STORE unset and IVI_STANDARD_ROOT_DIR an empty folder
// made for this process, removed when it ends. Without it a store or root
// folder set by whoever runs the tests would be read by every test (and
// inherited by the programs they start).

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

class PrivateIviEnvironment {
 public:
  PrivateIviEnvironment() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/hvzelta-ivi-XXXXXX";
    unsetenv("IVI_CONFIG_STORE");
    if (mkdtemp(pattern.data())) {
      root_ = pattern;
      setenv("IVI_STANDARD_ROOT_DIR", root_.c_str(), 1);
    } else {
      unsetenv("IVI_STANDARD_ROOT_DIR");  // no folder: then no installation at all
    }
  }
  ~PrivateIviEnvironment() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }
  PrivateIviEnvironment(const PrivateIviEnvironment&) = delete;
  PrivateIviEnvironment& operator=(const PrivateIviEnvironment&) = delete;

 private:
  std::string root_;
};

const PrivateIviEnvironment kPrivateIviEnvironment;

}  // namespace
