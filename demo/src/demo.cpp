// The guided tour: what a test program does with an AC source, step by step,
// on the built-in emulator (or a real instrument): open and identify,
// configure 230 V / 50 Hz with a current limit, switch on and wait for the
// output to settle, measure all thirteen quantities, run a triggered
// transient, trip the current limit and clear it, read the error queue, and
// leave a method trace behind.

#include "hvzelta_demo/demo.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "hvzelta/com/error_info.h"
#include "hvzelta/halvorn_zelta.h"
#include "trace_page.h"
#include "zta_sim/emulator.h"

namespace hvzelta::demo {
namespace {

std::string Narrow(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

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
    {"Peak current (held)", HalvornZeltaMeasurementTypeCurrentMaxHold, "A"},
    {"DC voltage", HalvornZeltaMeasurementTypeVoltageDC, "V"},
    {"DC current", HalvornZeltaMeasurementTypeCurrentDC, "A"},
    {"DC power", HalvornZeltaMeasurementTypePowerDC, "W"},
};

// One run of the tour. Every step checks its calls; the first failure ends
// the tour with the driver's own description of it.
class Tour {
 public:
  explicit Tour(std::FILE* out) : out_(out) {}

  int Run(const std::string& resource, const std::string& options) {
    const bool ok = Open(resource, options) && Identify() && Configure() && WaitForRegulation() && MeasureAll() &&
                    Transient() && TripAndClear() && ErrorQueue();
    if (driver_) {
      if (output_) output_->put_Enabled(VARIANT_FALSE);
      if (!Check(driver_->Close(), "Close")) return 1;
      std::fprintf(out_, "\nSession closed.\n");
    }
    return ok ? 0 : 1;
  }

 private:
  bool Check(HRESULT hr, const char* what) {
    if (Succeeded(hr)) return true;
    const ErrorInfo* info = PeekErrorInfo();
    std::fprintf(out_, "\n%s failed (0x%08X): %s\n", what, static_cast<unsigned>(hr),
                 info ? Narrow(info->description).c_str() : "no description");
    return false;
  }

  void Heading(const char* text) { std::fprintf(out_, "\n%s\n", text); }

  bool Open(const std::string& resource, const std::string& options) {
    if (!Check(CreateHalvornZelta(IHalvornZelta::kIid, reinterpret_cast<void**>(driver_.Out())), "Creating the driver"))
      return false;
    Bstr name(Wide(resource));
    Bstr optionText(Wide(options));
    std::fprintf(out_, "Initialize(\"%s\", IdQuery, Reset, \"%s\")\n", resource.c_str(), options.c_str());
    if (!Check(driver_->Initialize(name.Get(), VARIANT_TRUE, VARIANT_TRUE, optionText.Get()), "Initialize")) {
      driver_ = nullptr;
      return false;
    }
    ComPtr<IHalvornZeltaOutputs> outputs;
    Bstr first(L"Output1");
    return Check(driver_->get_Outputs(outputs.Out()), "Outputs") &&
           Check(outputs->get_Item(first.Get(), output_.Out()), "Output1") &&
           Check(driver_->get_Trigger(trigger_.Out()), "Trigger") &&
           Check(driver_->get_Utility(utility_.Out()), "Utility");
  }

  bool Identify() {
    ComPtr<IIviDriverIdentity> identity;
    if (!Check(driver_->get_Identity(identity.Out()), "Identity")) return false;
    struct Row {
      const char* label;
      HRESULT (IIviDriverIdentity::*getter)(BSTR*);
    };
    constexpr Row kRows[] = {
        {"Driver", &IIviDriverIdentity::get_Identifier},
        {"Driver revision", &IIviDriverIdentity::get_Revision},
        {"Instrument maker", &IIviDriverIdentity::get_InstrumentManufacturer},
        {"Instrument model", &IIviDriverIdentity::get_InstrumentModel},
        {"Firmware", &IIviDriverIdentity::get_InstrumentFirmwareRevision},
    };
    Heading("Identity");
    for (const Row& row : kRows) {
      Bstr text;
      if (!Check((identity.Get()->*row.getter)(text.Out()), row.label)) return false;
      std::fprintf(out_, "  %-22s %s\n", row.label, Narrow(text.View()).c_str());
    }
    return true;
  }

  bool Configure() {
    Heading("Configure: 230 V, 50 Hz, 310 V range, current limit 6 A (regulating), output on");
    return Check(output_->put_VoltageRange(310), "VoltageRange") &&
           Check(output_->put_VoltageLevel(230), "VoltageLevel") && Check(output_->put_Frequency(50), "Frequency") &&
           Check(output_->put_CurrentLimitBehavior(HalvornZeltaCurrentLimitBehaviorRegulate), "CurrentLimitBehavior") &&
           Check(output_->put_CurrentLimit(6), "CurrentLimit") && Check(output_->put_Enabled(VARIANT_TRUE), "Enabled");
  }

  bool Measure(HalvornZeltaMeasurementTypeEnum type, const char* label, double& value) {
    VisaStatusCode status{};
    return Check(output_->Measure(type, &value, &status), label);
  }

  // A real source ramps to its setting; a test waits until the output is
  // within tolerance before it measures, and gives up after a while.
  bool WaitForRegulation() {
    const auto start = std::chrono::steady_clock::now();
    for (int attempt = 0; attempt < 50; ++attempt) {
      double volts = 0;
      if (!Measure(HalvornZeltaMeasurementTypeVoltageAC, "AC voltage", volts)) return false;
      if (std::fabs(volts - 230.0) <= 230.0 * 0.005) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::fprintf(out_, "  regulated at %.2f V after %lld ms\n", volts, static_cast<long long>(waited.count()));
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::fprintf(out_, "  the output did not settle within 0.5 %% of 230 V\n");
    return false;
  }

  bool MeasureAll() {
    Heading("Measurements");
    std::fprintf(out_, "  %-22s %12s  %s\n", "quantity", "value", "unit");
    for (const Quantity& quantity : kQuantities) {
      double value = 0;
      if (!Measure(quantity.type, quantity.label, value)) return false;
      std::fprintf(out_, "  %-22s %12.4f  %s\n", quantity.label, value, quantity.unit);
    }
    return true;
  }

  bool Transient() {
    Heading("Transient: 115 V / 60 Hz armed, then a software trigger");
    VisaStatusCode status{};
    double level = 0;
    double hertz = 0;
    double volts = 0;
    if (!Check(output_->put_TriggeredVoltageLevel(115), "TriggeredVoltageLevel") ||
        !Check(output_->put_TriggeredFrequency(60), "TriggeredFrequency") ||
        !Check(output_->put_TriggerTransientSource(HalvornZeltaTriggerSourceSwTrigFunc), "TriggerTransientSource") ||
        !Check(trigger_->Initiate(&status), "Initiate") ||
        !Check(trigger_->SendSoftwareTrigger(&status), "SendSoftwareTrigger") ||
        !Check(output_->get_VoltageLevel(&level), "VoltageLevel") ||
        !Measure(HalvornZeltaMeasurementTypeFrequency, "Frequency", hertz) ||
        !Measure(HalvornZeltaMeasurementTypeVoltageAC, "AC voltage", volts)) {
      return false;
    }
    std::fprintf(out_, "  after the trigger: level %.1f V, measured %.2f V at %.2f Hz\n", level, volts, hertz);
    return true;
  }

  bool OverCurrent(VARIANT_BOOL& tripped) {
    VisaStatusCode status{};
    return Check(output_->QueryState(HalvornZeltaOutputStateOverCurrent, &tripped, &status), "QueryState");
  }

  bool TripAndClear() {
    Heading("Current-limit trip: limit 1 A with trip on, then clear");
    VARIANT_BOOL tripped = VARIANT_FALSE;
    VARIANT_BOOL enabled = VARIANT_TRUE;
    VisaStatusCode status{};
    if (!Check(output_->put_CurrentLimitBehavior(HalvornZeltaCurrentLimitBehaviorTrip), "CurrentLimitBehavior") ||
        !Check(output_->put_CurrentLimit(1), "CurrentLimit") || !OverCurrent(tripped) ||
        !Check(output_->get_Enabled(&enabled), "Enabled")) {
      return false;
    }
    std::fprintf(out_, "  over-current: %s, output %s\n", tripped ? "yes" : "no", enabled ? "on" : "off");
    if (!Check(output_->put_CurrentLimit(6), "CurrentLimit") ||
        !Check(output_->ResetOutputProtection(&status), "ResetOutputProtection") ||
        !Check(output_->put_Enabled(VARIANT_TRUE), "Enabled") || !OverCurrent(tripped) ||
        !Check(output_->get_Enabled(&enabled), "Enabled")) {
      return false;
    }
    std::fprintf(out_, "  cleared:      over-current %s, output %s\n", tripped ? "yes" : "no", enabled ? "on" : "off");
    return true;
  }

  // A value the instrument refuses shows up through the status poll, and its
  // error queue says what it was.
  bool ErrorQueue() {
    Heading("Error queue: 1000 Hz asked for, which the instrument refuses");
    const HRESULT refused = output_->put_Frequency(1000);
    const ErrorInfo* info = PeekErrorInfo();
    // Without the status poll the driver cannot know; only the queue tells.
    std::fprintf(out_, "  Frequency = 1000: 0x%08X %s\n", static_cast<unsigned>(refused),
                 Failed(refused) && info ? Narrow(info->description).c_str()
                                         : "sent (QueryInstrStatus is off: the error queue says whether it was taken)");
    for (int entry = 0; entry < 16; ++entry) {
      std::int32_t code = 0;
      Bstr message;
      if (!Check(utility_->ErrorQuery(&code, message.Out()), "ErrorQuery")) return false;
      std::fprintf(out_, "  ErrorQuery: %d, %s\n", code, Narrow(message.View()).c_str());
      if (code == 0) return true;
    }
    return true;
  }

  std::FILE* out_;
  ComPtr<IHalvornZelta> driver_;
  ComPtr<IHalvornZeltaOutput> output_;
  ComPtr<IHalvornZeltaTrigger> trigger_;
  ComPtr<IIviDriverUtility> utility_;
};

// Whether the option string names `option` (names are compared without regard to case).
bool Names(std::string_view options, std::string_view option) {
  const auto folded = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  return std::search(options.begin(), options.end(), option.begin(), option.end(),
                     [&](char a, char b) { return folded(a) == folded(b); }) != options.end();
}

std::string TraceOptions(const std::string& tracePath) {
  return "DriverSetup=Trace=true, TraceName=" + tracePath + ", TraceSaveInterval=0";
}

// The trace as a page, when a stylesheet is there to render it.
void WriteTracePage(const std::string& tracePath, std::FILE* out) {
  const std::string stylesheet = tracepage::FindStylesheet();
  if (stylesheet.empty()) return;
  const std::string page = std::filesystem::path(tracePath).replace_extension(".html").string();
  const std::string failure = tracepage::Render(tracePath, stylesheet, page);
  if (failure.empty()) {
    std::fprintf(out, "Trace page:   %s\n", page.c_str());
  } else {
    std::fprintf(out, "No trace page: %s\n", failure.c_str());
  }
}

// The file the driver writes the trace to: the name asked for, with ".xml"
// added when it has no such ending, as the driver adds it.
std::string TraceFilePath(const std::string& requested) {
  if (requested.empty()) return (std::filesystem::current_path() / "hvzelta-demo-trace.xml").string();
  constexpr std::string_view kEnding = ".xml";
  const bool hasXmlEnding =
      requested.size() >= kEnding.size() &&
      std::equal(requested.end() - static_cast<std::ptrdiff_t>(kEnding.size()), requested.end(), kEnding.begin(),
                 [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
  return hasXmlEnding ? requested : requested + ".xml";
}

}  // namespace

int RunDemo(const DemoRequest& request, std::FILE* out) {
  const std::string tracePath = TraceFilePath(request.tracePath);
  int result = 0;
  if (!request.resource.empty()) {
    // The tour must not call a value accepted that the instrument refused:
    // the status poll is on unless the options say otherwise. DriverSetup
    // comes last in an option string.
    std::string options = Names(request.options, "QueryInstrStatus")
                              ? request.options
                              : "QueryInstrStatus=true" + (request.options.empty() ? "" : ", " + request.options);
    if (!Names(options, "DriverSetup")) options += ", " + TraceOptions(tracePath);
    result = Tour(out).Run(request.resource, options);
  } else {
    zta_sim::Options options;
    options.model = zta_sim::Model::ZTA200;
    options.load.resistanceOhm = 46;
    options.load.inductanceHenry = 0.05;
    zta_sim::Emulator emulator(options);
    const zta_sim::Endpoints endpoints = emulator.Start();
    std::fprintf(out, "Emulated ZTA200 on 127.0.0.1:%u, driving a 46 ohm + 50 mH load\n\n", endpoints.socketPort);
    result = Tour(out).Run("TCPIP::127.0.0.1::" + std::to_string(endpoints.socketPort) + "::SOCKET",
                           "QueryInstrStatus=true, " + TraceOptions(tracePath));
  }
  std::error_code missing;
  if (std::filesystem::is_regular_file(tracePath, missing)) {
    std::fprintf(out, "Method trace: %s\n", tracePath.c_str());
    WriteTracePage(tracePath, out);
  }
  return result;
}

}  // namespace hvzelta::demo
