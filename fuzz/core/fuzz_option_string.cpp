// Option strings come from test programs and configuration files: any text
// must end in a status, never a crash.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "acpwr/halvorn_zelta.h"
#include "core/option_string.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hvzelta;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const DriverSetupSplit split = SplitDriverSetup(text);
  for (const OptionPair& pair : ParseOptionPairs(split.options)) (void)ParseOptionBoolean(pair.value);
  if (split.driverSetup) (void)ParseOptionPairs(NormalizeDriverSetup(*split.driverSetup));
  (void)LeadingInteger(text);

  auto driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  Bstr resource(L"TCPIP::127.0.0.1::5025::SOCKET");
  Bstr options(Utf8ToWide(text));
  if (Succeeded(driver->Initialize(resource.Get(), VARIANT_TRUE, VARIANT_TRUE, options.Get()))) {
    Bstr model;
    driver->get_InstrumentModel(model.Out());
    driver->Close();
  }
  return 0;
}
