#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/error_reporter.h"
#include "base/trace_settings.h"
#include "core/driver_constants.h"
#include "core/initial_settings.h"
#include "core/node.h"
#include "core/operation_settings.h"
#include "io/instr_error_poller.h"
#include "io/io_session.h"
#include "platform/module_usage.h"
#include "trace/trace_file.h"

namespace hvzelta {

class StoreEntry;

// The root of a driver's object tree: one per session with an instrument. It
// holds the session's state, runs Initialize and Close, processes the option
// string and DriverSetup, decides the instrument model and polls the
// instrument's error status. The concrete driver adds its interfaces on top.
class CDriver : public CNode, public IInstrErrorPoller, public ICallContextProvider {
 public:
  using ReporterFactory = std::unique_ptr<CErrorReporter> (*)(const ICallContextProvider&);
  using IoSessionFactory = std::function<std::unique_ptr<IIoSession>()>;

  CDriver(const DriverConstants& constants, ReporterFactory makeReporter);
  ~CDriver() override;

  const DriverConstants& Constants() const { return constants_; }
  CErrorReporter& Reporter() const { return *reporter_; }
  IIoSession* Io() const { return io_.get(); }
  bool IsInitialized() const { return initialized_; }
  const OperationSettings& Settings() const { return settings_; }
  OperationSettings& MutableSettings() { return settings_; }
  // The settings as they stood at the end of option processing in Initialize.
  const OperationSettings& InitialSettings() const { return initialSettings_; }
  const TraceSettings& Trace() const { return traceFile_.Settings(); }
  // The method trace of this driver and all its objects.
  TraceFile& Tracer() { return traceFile_; }
  bool IdQueryRequested() const { return idQueryRequested_; }
  bool ResetRequested() const { return resetRequested_; }

  const std::string& OptionString() const { return optionString_; }
  const std::string& LogicalName() const { return logicalName_; }
  const std::string& ResourceDescriptor() const { return resourceDescriptor_; }
  const std::string& DriverSetup() const { return driverSetup_; }
  const std::string& InstrumentManufacturer() const { return instrumentManufacturer_; }
  const std::string& InstrumentModel() const { return instrumentModel_; }
  const std::string& SerialNumber() const { return serialNumber_; }
  const std::string& FirmwareRevision() const { return firmwareRevision_; }
  const std::string& IdentificationResponse() const { return identificationResponse_; }
  // True while initialized with a model of the supported list.
  bool IsModelSupported() const;

  // The lifetime operations; each runs inside its caller's method frame.
  HRESULT InitializeSession(const wchar_t* resourceName, bool idQuery, bool reset, std::wstring_view optionString);
  HRESULT CloseSession();

  // One option of the option string, and one key of DriverSetup.
  HRESULT ProcessInitOption(std::string_view name, std::string_view value);
  HRESULT ProcessDriverSetupOption(std::string_view name, std::string_view value);

  // Values of the last Initialize's option string and DriverSetup, by name
  // without regard to case; empty text when absent. The typed forms give
  // nothing when the name is absent or its value does not convert.
  std::string GetOptionValue(std::string_view name) const;
  std::string GetDriverSetupValue(std::string_view name) const;
  std::optional<bool> GetOptionBoolean(std::string_view name) const;
  std::optional<bool> GetDriverSetupBoolean(std::string_view name) const;

  HRESULT PollInstrumentErrors() override;
  IID GetCallContext() const override;
  const MemberDescriptor* CurrentMember() const override;

  // The physical name a caller's repeated-capability name stands for: a
  // virtual name maps to what it is mapped to, and "name!!physical" to the
  // text after its first "!!".
  std::string ResolveName(std::string_view name) const;
  // The name callers see for a physical name of `repCapName`: its virtual name
  // when one maps to "repCapName!!physical", else the physical name.
  std::string ReportedNameOf(std::string_view repCapName, std::string_view physicalName) const;
  // Adds a virtual name (compared without regard to case) for `mappedTo`.
  void AddVirtualName(std::string_view virtualName, std::string_view mappedTo);

  // The coercion records of the session, oldest first. A member that changes
  // a caller's value before sending it records what it did here; beyond the
  // bound the oldest record makes room.
  void AddCoercionRecord(std::string record);
  std::optional<std::string> TakeCoercionRecord();

  // The configurable initial settings the last Initialize read from the
  // configuration store, by name without regard to case; nothing when the
  // name is absent or its value does not convert.
  std::optional<std::string> GetInitialSettingText(std::string_view name) const;
  std::optional<std::int32_t> GetInitialSettingInteger(std::string_view name) const;
  std::optional<double> GetInitialSettingReal(std::string_view name) const;
  std::optional<bool> GetInitialSettingBoolean(std::string_view name) const;
  // Reads the data components of `settings` (a store structure) into the
  // initial settings; a "model" setting then becomes the instrument model.
  HRESULT LoadConfigurableInitialSettings(const StoreEntry& settings);
  // The repeated-capability entries that the software module of the last
  // Initialize publishes: physical name -> repeated capability name.
  const std::map<std::string, std::string, std::less<>>& PublishedRepCaps() const { return publishedRepCaps_; }

  // The I/O session Initialize opens for an instrument; tests give a scripted one.
  void SetIoSessionFactory(IoSessionFactory factory) { ioSessionFactory_ = std::move(factory); }

 protected:
  // Runs the utility Reset in its own method frame (Initialize with Reset).
  virtual HRESULT ResetThroughInterface() = 0;
  // Builds the repeated capabilities for the current model, and empties them.
  virtual HRESULT InitializeObjectTree() = 0;
  virtual void ReleaseObjectTree() = 0;

 public:
  // The enumeration hook of the formatted I/O engine.
  virtual IEnumFormatter* EnumFormatter() = 0;

 private:
  using TextMap = std::map<std::string, std::string, std::less<>>;

  HRESULT ResolveResourceAndOptions(std::string_view resourceName);
  HRESULT ProcessOptionString(std::string_view optionString);
  HRESULT ProcessDriverSetup(std::string_view driverSetup);
  HRESULT OpenIo();
  void CloseIo();
  HRESULT ClearInstrumentStatus();
  HRESULT QueryInstrumentIdentity();
  HRESULT FinishInitialize();
  HRESULT StartTrace();
  // Records in the trace why a store file was passed over.
  void TraceUnreadableStore();
  HRESULT ReportBadOptionValue(std::string_view value);
  // The configuration store's part of Initialize.
  HRESULT ResolveThroughStore(std::string_view resourceName);
  HRESULT ApplyDriverSession(const StoreEntry& session);
  HRESULT ReadVirtualNames(const StoreEntry& session);
  HRESULT LoadInitialSettingsOf(const StoreEntry& component);
  HRESULT ReadPublishedRepCaps(const StoreEntry& module);

  const DriverConstants& constants_;
  std::unique_ptr<CErrorReporter> reporter_;
  IoSessionFactory ioSessionFactory_;
  std::unique_ptr<IIoSession> io_;

  std::atomic<bool> initialized_ = false;
  bool idQueryRequested_ = false;
  bool resetRequested_ = false;
  OperationSettings settings_;
  OperationSettings initialSettings_;
  TraceFile traceFile_;

  std::string optionString_;
  std::string unreadableStore_;  // why the store file of this Initialize was passed over
  std::string logicalName_;
  std::string resourceDescriptor_;
  std::string driverSetup_;
  std::string instrumentManufacturer_;
  std::string instrumentModel_;
  std::string serialNumber_;
  std::string firmwareRevision_;
  std::string identificationResponse_;
  TextMap optionMap_;
  TextMap driverSetupMap_;
  std::deque<std::string> coercionRecords_;
  TextMap virtualToPhysical_;  // lower-cased virtual name -> mapped-to name
  TextMap physicalToVirtual_;  // mapped-to name as written -> virtual name
  ConfigurableInitialSettings initialSettingsMap_;
  TextMap publishedRepCaps_;  // physical name -> repeated capability name
  ModuleUsageToken moduleUsage_;  // keeps the library loaded while the driver lives
};

}  // namespace hvzelta
