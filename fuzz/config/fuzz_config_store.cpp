// Store files come from users and other tools: whatever the file holds,
// reading it and resolving a name through it must end in a status, never a
// crash, a hang or unbounded memory.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

#include "acpwr/halvorn_zelta.h"
#include "core/config_store.h"
#include "hvzelta/com/bstr.h"

namespace {

// Initialize reads the store from a file; every input is written to one file
// of this process, removed when the process ends.
const std::string& StorePath() {
  static const std::string path = [] {
    char pattern[] = "/tmp/fuzz_config_store-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    setenv("IVI_CONFIG_STORE", pattern, 1);
    return std::string(pattern);
  }();
  static const int removal = std::atexit([] { std::remove(path.c_str()); });
  (void)removal;
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hvzelta;
  const std::string_view xml(reinterpret_cast<const char*>(data), size);

  ConfigStore store;
  if (store.Parse(xml, "fuzz.xml") == S_OK) {
    StoreEntry entry;
    for (std::string_view name : {"bench", "PS1", ""}) (void)store.FindDriverSession(name, entry);
  }

  std::FILE* file = std::fopen(StorePath().c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  // Simulation keeps the resolution away from any instrument.
  Bstr options(L"Simulate=true");
  for (const wchar_t* resource : {L"bench", L"PS1", L"TCPIP::192.0.2.1::INSTR"}) {
    auto driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
    Bstr name(resource);
    if (Succeeded(driver->Initialize(name.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get()))) {
      (void)driver->ResolveName("ph1");
      driver->Close();
    }
  }
  return 0;
}
