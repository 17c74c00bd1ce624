// A short tour of the driver on the built-in ZTA emulator: open a session,
// show what the driver and the instrument say about themselves, configure the
// output, switch it on, measure, read the instrument's error queue, close.

#include "hvzelta_demo/demo.h"

#include <cstdio>
#include <memory>
#include <string>

#include "hvzelta/com/error_info.h"
#include "hvzelta/halvorn_zelta.h"
#include "zta_sim/emulator.h"

namespace {

using namespace hvzelta;

std::string Narrow(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Prints the failure the driver described and tells whether `hr` succeeded.
bool Check(HRESULT hr, const char* what) {
  if (Succeeded(hr)) return true;
  const ErrorInfo* info = PeekErrorInfo();
  std::fprintf(stderr, "%s failed (0x%08X): %s\n", what, static_cast<unsigned>(hr),
               info ? Narrow(info->description).c_str() : "no description");
  return false;
}

template <class Interface, class Declaring>
void ShowText(const char* label, Interface* object, HRESULT (Declaring::*getter)(BSTR*)) {
  Bstr text;
  if (Check((object->*getter)(text.Out()), label)) std::printf("  %-22s %s\n", label, Narrow(text.View()).c_str());
}

struct Quantity {
  const char* label;
  HalvornZeltaMeasurementTypeEnum type;
  const char* unit;
};

constexpr Quantity kQuantities[] = {
    {"AC voltage", HalvornZeltaMeasurementTypeVoltageAC, "V"},
    {"AC current", HalvornZeltaMeasurementTypeCurrentAC, "A"},
    {"Frequency", HalvornZeltaMeasurementTypeFrequency, "Hz"},
    {"Real power", HalvornZeltaMeasurementTypePowerAC, "W"},
    {"Apparent power", HalvornZeltaMeasurementTypeACApparent, "VA"},
    {"Reactive power", HalvornZeltaMeasurementTypePowerACReactive, "var"},
    {"Power factor", HalvornZeltaMeasurementTypeACPowerFactor, ""},
    {"Current crest factor", HalvornZeltaMeasurementTypeCurrentCrestFactor, ""},
    {"Peak current", HalvornZeltaMeasurementTypeCurrentMax, "A"},
};

int Tour(const std::string& resource, const std::string& options) {
  ComPtr<IHalvornZelta> driver;
  if (!Check(CreateHalvornZelta(IHalvornZelta::kIid, reinterpret_cast<void**>(driver.Out())), "Creating the driver")) {
    return 1;
  }
  Bstr name(Wide(resource));
  Bstr optionText(Wide(options));
  std::printf("Initialize(\"%s\", IdQuery=true, Reset=true, \"%s\")\n", resource.c_str(), options.c_str());
  if (!Check(driver->Initialize(name.Get(), VARIANT_TRUE, VARIANT_TRUE, optionText.Get()), "Initialize")) return 1;

  ComPtr<IIviDriverIdentity> identity;
  ComPtr<IHalvornZeltaOutputs> outputs;
  ComPtr<IHalvornZeltaOutput> output;
  Bstr first(L"Output1");
  if (!Check(driver->get_Identity(identity.Out()), "Identity") || !Check(driver->get_Outputs(outputs.Out()), "Outputs") ||
      !Check(outputs->get_Item(first.Get(), output.Out()), "Output1")) {
    return 1;
  }
  std::printf("Driver\n");
  ShowText("Identifier", identity.Get(), &IIviDriverIdentity::get_Identifier);
  ShowText("Revision", identity.Get(), &IIviDriverIdentity::get_Revision);
  ShowText("Supported models", identity.Get(), &IIviDriverIdentity::get_SupportedInstrumentModels);
  std::printf("Instrument\n");
  ShowText("Manufacturer", identity.Get(), &IIviDriverIdentity::get_InstrumentManufacturer);
  ShowText("Model", identity.Get(), &IIviDriverIdentity::get_InstrumentModel);
  ShowText("Firmware revision", identity.Get(), &IIviDriverIdentity::get_InstrumentFirmwareRevision);

  std::printf("Output: 230 V, 50 Hz, current limit 6 A, on\n");
  if (!Check(output->put_VoltageRange(310), "VoltageRange") || !Check(output->put_VoltageLevel(230), "VoltageLevel") ||
      !Check(output->put_Frequency(50), "Frequency") || !Check(output->put_CurrentLimit(6), "CurrentLimit") ||
      !Check(output->put_Enabled(VARIANT_TRUE), "Enabled")) {
    return 1;
  }
  std::printf("Measurements\n");
  for (const Quantity& quantity : kQuantities) {
    double value = 0;
    VisaStatusCode status{};
    if (Check(output->Measure(quantity.type, &value, &status), quantity.label)) {
      std::printf("  %-22s %10.4f %s\n", quantity.label, value, quantity.unit);
    }
  }
  ComPtr<IIviDriverUtility> utility;
  std::int32_t code = 0;
  Bstr message;
  if (Check(driver->get_Utility(utility.Out()), "Utility") && Check(utility->ErrorQuery(&code, message.Out()), "ErrorQuery")) {
    std::printf("Error queue: %d, %s\n", code, Narrow(message.View()).c_str());
  }
  output->put_Enabled(VARIANT_FALSE);
  if (!Check(driver->Close(), "Close")) return 1;
  std::printf("Closed.\n");
  return 0;
}

}  // namespace

namespace hvzelta::demo {

int RunDemo(const DemoRequest& request, std::FILE* out) {
  if (!request.resource.empty()) return Tour(request.resource, request.options);
  zta_sim::Options options;
  options.model = zta_sim::Model::ZTA200;
  options.load.resistanceOhm = 46;
  options.load.inductanceHenry = 0.05;
  zta_sim::Emulator emulator(options);
  const zta_sim::Endpoints endpoints = emulator.Start();
  std::fprintf(out, "Emulated ZTA200 on 127.0.0.1:%u (a 46 ohm, 50 mH load)\n", endpoints.socketPort);
  return Tour("TCPIP::127.0.0.1::" + std::to_string(endpoints.socketPort) + "::SOCKET", "QueryInstrStatus=true");
}

}  // namespace hvzelta::demo
