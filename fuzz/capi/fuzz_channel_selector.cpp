// Channel names come from test programs, configuration files and scripts:
// any text must parse into a bounded selection or an error, and the C
// functions given it must answer with a status, never a crash.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "capi/channel_selector.h"
#include "hvzelta.h"

namespace {

void CheckSelector(std::string_view text, bool rangesAllowed) {
  using hvzelta::capi::ChannelSelector;
  using hvzelta::capi::SelectorError;
  using hvzelta::capi::SelectorName;
  ChannelSelector selector;
  if (selector.Parse(text, rangesAllowed) != SelectorError::None) return;
  // A selector that parses selects something, and never more than its bound.
  if (selector.PathCount() == 0 || selector.PathCount() > ChannelSelector::kMaxNames) std::abort();
  SelectorName name;
  for (std::size_t path = 0; path < selector.PathCount(); ++path) {
    for (std::size_t level = 0; selector.Name(path, level, name) == SelectorError::None; ++level) {
      if (name.Text().size() != name.Size()) std::abort();
    }
  }
}

ViSession SimulatedSession() {
  static const ViSession session = [] {
    ViSession vi = VI_NULL;
    hvzelta_InitWithOptions("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, "Simulate=true", &vi);
    return vi;
  }();
  return session;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckSelector(text, true);
  CheckSelector(text, false);

  const ViSession vi = SimulatedSession();
  ViReal64 level = 0;
  hvzelta_SetVoltageLevel(vi, text.c_str(), 100.0);
  hvzelta_GetVoltageLevel(vi, text.c_str(), &level);
  hvzelta_SetAttributeViReal64(vi, text.c_str(), HVZELTA_ATTR_VOLTAGE_LEVEL, 100.0);
  hvzelta_ConfigureCurrentProtection(vi, text.c_str(), VI_TRUE, 1.0, 0.5);
  return 0;
}
