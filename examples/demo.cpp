// Opens a simulated ZTA session, shows what the driver and the instrument say
// about themselves and how the session is set up, and closes it again.
//
//   demo [option string]      default: "Simulate=true, DriverSetup=Model=ZTA200"

#include <cstdio>
#include <string>

#include "hvzelta/com/error_info.h"
#include "hvzelta/halvorn_zelta.h"

namespace {

using namespace hvzelta;

std::string Narrow(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

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
  if (Check((object->*getter)(text.Out()), label)) std::printf("  %-28s %s\n", label, Narrow(text.View()).c_str());
}

void ShowFlag(const char* label, IIviDriverOperation* operation,
              HRESULT (IIviDriverOperation::*getter)(VARIANT_BOOL*)) {
  VARIANT_BOOL value = VARIANT_FALSE;
  if (Check((operation->*getter)(&value), label)) std::printf("  %-28s %s\n", label, value ? "on" : "off");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string options = argc > 1 ? argv[1] : "Simulate=true, DriverSetup=Model=ZTA200";

  ComPtr<IHalvornZelta> driver;
  if (!Check(CreateHalvornZelta(IHalvornZelta::kIid, reinterpret_cast<void**>(driver.Out())), "Creating the driver")) {
    return 1;
  }
  Bstr resource(L"TCPIP::127.0.0.1::5025::SOCKET");
  Bstr optionText(std::wstring(options.begin(), options.end()));
  std::printf("Initialize(\"%s\", IdQuery=true, Reset=true, \"%s\")\n", Narrow(resource.View()).c_str(),
              options.c_str());
  if (!Check(driver->Initialize(resource.Get(), VARIANT_TRUE, VARIANT_TRUE, optionText.Get()), "Initialize")) {
    return 1;
  }

  ComPtr<IIviDriverIdentity> identity;
  ComPtr<IIviDriverOperation> operation;
  if (!Check(driver->get_Identity(identity.Out()), "Identity") ||
      !Check(driver->get_DriverOperation(operation.Out()), "DriverOperation")) {
    return 1;
  }

  std::printf("Driver\n");
  ShowText("Identifier", identity.Get(), &IIviDriverIdentity::get_Identifier);
  ShowText("Description", identity.Get(), &IIviDriverIdentity::get_Description);
  ShowText("Vendor", identity.Get(), &IIviDriverIdentity::get_Vendor);
  ShowText("Revision", identity.Get(), &IIviDriverIdentity::get_Revision);
  ShowText("Supported models", identity.Get(), &IIviDriverIdentity::get_SupportedInstrumentModels);
  ShowText("Group capabilities", identity.Get(), &IIviDriverIdentity::get_GroupCapabilities);
  std::printf("Instrument\n");
  ShowText("Manufacturer", identity.Get(), &IIviDriverIdentity::get_InstrumentManufacturer);
  ShowText("Model", identity.Get(), &IIviDriverIdentity::get_InstrumentModel);
  ShowText("Firmware revision", identity.Get(), &IIviDriverIdentity::get_InstrumentFirmwareRevision);
  std::printf("Session\n");
  ShowText("Resource descriptor", operation.Get(), &IIviDriverOperation::get_IoResourceDescriptor);
  ShowText("DriverSetup", operation.Get(), &IIviDriverOperation::get_DriverSetup);
  ShowFlag("Simulate", operation.Get(), &IIviDriverOperation::get_Simulate);
  ShowFlag("Cache", operation.Get(), &IIviDriverOperation::get_Cache);
  ShowFlag("Range check", operation.Get(), &IIviDriverOperation::get_RangeCheck);
  ShowFlag("Query instrument status", operation.Get(), &IIviDriverOperation::get_QueryInstrumentStatus);
  ShowFlag("Record coercions", operation.Get(), &IIviDriverOperation::get_RecordCoercions);
  ShowFlag("Interchange check", operation.Get(), &IIviDriverOperation::get_InterchangeCheck);

  if (!Check(driver->Close(), "Close")) return 1;
  std::printf("Closed.\n");
  return 0;
}
