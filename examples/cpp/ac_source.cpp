// Sets up an AC power source through the C++ object interface and measures
// what it delivers: the usual start of a test program.
//
//   ac_source_cpp [resource]   without a resource: a simulated ZTA200
//
// Every member returns an HRESULT; a failure leaves its description in the
// calling thread's error information. ComPtr releases each interface pointer
// and Bstr frees each string when it goes out of scope.

#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>

#include "hvzelta/com/error_info.h"
#include "hvzelta/halvorn_zelta.h"
#include "hvzelta/registration.h"

using namespace hvzelta;

namespace {

// Prints the failure the driver described; true when `hr` is an error.
bool Report(HRESULT hr, const wchar_t* what) {
  if (Succeeded(hr)) return false;
  const ErrorInfo* info = PeekErrorInfo();
  std::wcerr << what << L" failed (0x" << std::hex << static_cast<std::uint32_t>(hr) << std::dec
             << L"): " << (info ? info->description : L"no description") << L"\n";
  return true;
}

// The body of the program once the session is open; false after a failure.
bool Run(IHalvornZelta& driver, bool simulated) {
  ComPtr<IIviDriverIdentity> identity;
  Bstr model;
  if (Report(driver.get_Identity(identity.Out()), L"Reading the identity") ||
      Report(identity->get_InstrumentModel(model.Out()), L"Reading the model")) {
    return false;
  }
  std::wcout << L"instrument model      " << model.View() << L"\n";

  ComPtr<IHalvornZeltaOutputs> outputs;
  ComPtr<IHalvornZeltaOutput> output;
  const Bstr outputName(L"Output1");
  if (Report(driver.get_Outputs(outputs.Out()), L"Reading the outputs") ||
      Report(outputs->get_Item(outputName.Get(), output.Out()), L"Finding Output1")) {
    return false;
  }

  double level = 0;
  if (Report(output->put_VoltageRange(155.0), L"Setting the range") ||
      Report(output->put_VoltageLevel(115.0), L"Setting the level") ||
      Report(output->put_Frequency(60.0), L"Setting the frequency") ||
      Report(output->get_VoltageLevel(&level), L"Reading the level")) {
    return false;
  }
  std::wcout << L"voltage level         " << level << L" V\n";

  // Measurements need an instrument; a simulated session has none.
  if (!simulated) {
    double volts = 0;
    VisaStatusCode visaStatus = VisaStatusSuccess;
    if (Report(output->put_Enabled(VARIANT_TRUE), L"Enabling the output") ||
        Report(output->Measure(HalvornZeltaMeasurementTypeVoltageAC, &volts, &visaStatus), L"Measuring")) {
      return false;
    }
    std::wcout << L"measured              " << volts << L" V\n";
  }
  return true;
}

// Resource strings are ASCII.
std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

}  // namespace

int main(int argc, char** argv) {
  const bool simulated = argc < 2;
  const Bstr resource(simulated ? std::wstring(L"TCPIP::127.0.0.1::5025::SOCKET") : Widen(argv[1]));
  const Bstr options(simulated ? L"Simulate=true, DriverSetup=Model=ZTA200" : L"QueryInstrStatus=true");

  // A registered driver is created by name, as configuration tools do;
  // without a registration, straight from the library linked in.
  ComPtr<IHalvornZelta> driver;
  void** out = reinterpret_cast<void**>(driver.Out());
  HRESULT created = CreateObjectByProgId("HalvornZelta.HalvornZelta", IHalvornZelta::kIid, out);
  if (created == REGDB_E_CLASSNOTREG) created = CreateHalvornZelta(IHalvornZelta::kIid, out);
  if (Report(created, L"Creating the driver") ||
      Report(driver->Initialize(resource.Get(), VARIANT_TRUE, VARIANT_TRUE, options.Get()), L"Opening the session")) {
    return 1;
  }
  const bool ran = Run(*driver.Get(), simulated);
  const bool closed = !Report(driver->Close(), L"Closing the session");
  return ran && closed ? 0 : 1;
}
