#include "core/driver.h"

#include <array>
#include <charconv>

#include "core/config_store.h"
#include "core/option_string.h"
#include "fmtio/io_error.h"
#include "hvzelta/com/bstr.h"
#include "hvzelta/com/error_info.h"
#include "hvzelta/status.h"
#include "io/visa_com_session.h"
#include "platform/text.h"
#include "trace/method_trace.h"
#include "visa/io_log.h"
#include "visa/visa_library_choice.h"

namespace hvzelta {

namespace {

// Event status bits that mean the instrument saw an error: query (0x04),
// device-dependent (0x08), execution (0x10) and command (0x20).
constexpr long long kEventStatusErrorBits = 0x04 | 0x08 | 0x10 | 0x20;

}  // namespace

CDriver::CDriver(const DriverConstants& constants, ReporterFactory makeReporter)
    : CNode(*this), constants_(constants), reporter_(makeReporter(*this)) {}

CDriver::~CDriver() { CloseIo(); }

bool CDriver::IsModelSupported() const {
  if (!initialized_) return false;
  std::string_view models = constants_.supportedInstrumentModels;
  while (!models.empty()) {
    const std::size_t comma = models.find(',');
    if (models.substr(0, comma) == instrumentModel_) return true;
    models = comma == std::string_view::npos ? std::string_view() : models.substr(comma + 1);
  }
  return false;
}

HRESULT CDriver::InitializeSession(const wchar_t* resourceName, bool idQuery, bool reset,
                                   std::wstring_view optionString) {
  if (!resourceName) return Reporter().Report(Message::InvalidValue, {}, {"0", "Initialize", "ResourceName"});
  if (initialized_) return Reporter().Report(Message::AlreadyInitialized);
  idQueryRequested_ = idQuery;
  resetRequested_ = reset;
  coercionRecords_.clear();

  optionString_ = WideToUtf8(optionString);
  if (HRESULT hr = ResolveResourceAndOptions(WideToUtf8(BstrView(resourceName))); Failed(hr)) return hr;
  if (settings_.interchangeCheck && !constants_.interchangeCheckSupported) {
    return Reporter().Report(Message::BadOptionValue, "Interchange checking is not supported by the driver.",
                             {"True"});
  }
  if (HRESULT hr = StartTrace(); Failed(hr)) return hr;
  TraceUnreadableStore();
  if (HRESULT hr = OpenIo(); Failed(hr)) {
    traceFile_.Close();
    return hr;
  }
  initialized_ = true;
  const HRESULT hr = FinishInitialize();
  if (Failed(hr)) {
    CloseIo();
    initialized_ = false;
    traceFile_.Close();
  }
  return hr;
}

HRESULT CDriver::StartTrace() {
  traceFile_.SetIdentifier(constants_.identifier);
  if (!traceFile_.Enabled()) return S_OK;
  const HRESULT hr = traceFile_.Open();
  if (Succeeded(hr)) return hr;
  // The description says what failed; the status is the system's reason.
  Reporter().Report(Message::CannotOpenFile, "Trace file '" + traceFile_.Path() + "': " + traceFile_.OpenFailure() + ".");
  return hr;
}

void CDriver::TraceUnreadableStore() {
  if (unreadableStore_.empty() || !traceFile_.IsOpen()) return;
  static const MemberDescriptor kOpenStore(GUID_NULL, "IviConfigStore", MemberKind::Method, "Open", InitCheck::Exempt);
  const Bstr location(Utf8ToWide(ConfigStoreLocation()));
  // A record of its own, whose result says the file was refused and why. The
  // record keeps the list it is given, and each entry points at its value, so
  // both are named to outlive the record.
  const auto path = location.Get();
  const std::initializer_list<MemberParam> params = {In("Path", path)};
  CMethodTrace record(&traceFile_, kOpenStore, params);
  SetErrorInfo({Utf8ToWide(unreadableStore_), L"IVI Configuration Store", GUID_NULL, {}, 0});
  record.Finish(E_IVICONFIG_DESERIALIZE_FAILED);
  ClearErrorInfo();
}

// Steps that need the session open and the driver marked initialized; a
// failure here is undone by the caller.
HRESULT CDriver::FinishInitialize() {
  if (settings_.queryInstrumentStatus) {
    if (HRESULT hr = ClearInstrumentStatus(); Failed(hr)) return hr;
  }
  if (HRESULT hr = QueryInstrumentIdentity(); Failed(hr)) return hr;
  if (idQueryRequested_ && !IsModelSupported()) {
    return Reporter().Report(Message::IdQueryFailed, "Unrecognized model: " + instrumentModel_ + ".");
  }
  if (HRESULT hr = InitializeObjectTree(); Failed(hr)) return hr;
  if (resetRequested_ && Failed(ResetThroughInterface())) return Reporter().Report(Message::ResetFailed);
  return S_OK;
}

HRESULT CDriver::OpenIo() {
  if (settings_.simulate) return S_OK;
  const std::string unknownResource = "Resource descriptor = " + resourceDescriptor_ + ".";
  if (ioSessionFactory_) {
    io_ = ioSessionFactory_();
  } else {
    visa::VisaLibraryChoice visa = visa::ChooseVisaLibrary(GetDriverSetupValue("VisaLibrary"));
    if (!visa.library) return ReportIoError(&Reporter(), visa.error);
    // A traced session puts each call's I/O in the call's record; an untraced
    // one is not wrapped for it, so that it pays nothing.
    visa::IoLogObserver intoTrace;
    if (traceFile_.Enabled()) {
      intoTrace = [this](std::string_view line) {
        if (traceFile_.IsOpen()) TraceIo(traceFile_, line);
      };
    }
    if (std::string error;
        !visa::AttachIoLog(visa.library, GetDriverSetupValue("IoLog"), error, std::move(intoTrace))) {
      return Reporter().Report(Message::CannotOpenFile, error);
    }
    io_ = std::make_unique<CVisaComSession>(std::move(visa.library));
  }
  if (!io_) return Reporter().Report(Message::ResourceUnknown, unknownResource);
  const HRESULT hr = io_->Open(resourceDescriptor_, this, &Reporter(), EnumFormatter());
  if (Failed(hr)) {
    io_.reset();
    if (hr == E_IVI_RESOURCE_UNKNOWN) return Reporter().Report(Message::ResourceUnknown, unknownResource);
  }
  return hr;
}

void CDriver::CloseIo() {
  if (!io_) return;
  io_->Close();
  io_.reset();
}

HRESULT CDriver::ClearInstrumentStatus() {
  if (settings_.simulate || !io_) return S_OK;
  return io_->WriteString("*CLS", true, kKeepTimeout);
}

HRESULT CDriver::QueryInstrumentIdentity() {
  if (settings_.simulate || !io_) return S_OK;
  std::string response;
  std::lock_guard exchange(io_->ExchangeLock());
  if (HRESULT hr = io_->WriteStringNoPoll("*IDN?", true, kKeepTimeout); Failed(hr)) return hr;
  if (HRESULT hr = io_->ReadString(response, kKeepTimeout); Failed(hr)) return hr;
  identificationResponse_ = response;
  std::array<std::string*, 4> fields{&instrumentManufacturer_, &instrumentModel_, &serialNumber_, &firmwareRevision_};
  std::string_view rest = response;
  for (std::string* field : fields) {
    const std::size_t comma = rest.find(',');
    *field = std::string(TrimWhiteSpace(rest.substr(0, comma)));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  return S_OK;
}

HRESULT CDriver::CloseSession() {
  if (!initialized_) return Reporter().Report(Message::NotInitialized);
  // The record of this Close is the last one of the session's trace.
  traceFile_.CloseAfterCall();
  CloseIo();
  Attributes().InvalidateAll();
  initialized_ = false;
  ReleaseObjectTree();
  return S_OK;
}

HRESULT CDriver::PollInstrumentErrors() {
  if (!settings_.queryInstrumentStatus) return S_OK;
  if (!io_) return Reporter().Report(Message::NotInitialized);
  std::string answer;
  std::lock_guard exchange(io_->ExchangeLock());
  // What an earlier failed read left of its response goes first, or the
  // poll would take that for the event status and leave its own reply to
  // the next read.
  HRESULT hr = io_->FlushRead(kKeepTimeout);
  if (Succeeded(hr)) hr = io_->WriteStringNoPoll("*ESR?", true, kKeepTimeout);
  if (Succeeded(hr)) hr = io_->ReadStringNoPoll(answer, kKeepTimeout);
  if (Failed(hr)) {
    io_->DeviceClear();
    return Reporter().Report(Message::InstrumentStatus);
  }
  if (LeadingInteger(answer) & kEventStatusErrorBits) return Reporter().Report(Message::InstrumentStatus);
  return S_OK;
}

void CDriver::AddCoercionRecord(std::string record) {
  if (coercionRecords_.size() >= constants_.coercionRecordBound) coercionRecords_.pop_front();
  coercionRecords_.push_back(std::move(record));
}

std::optional<std::string> CDriver::TakeCoercionRecord() {
  if (coercionRecords_.empty()) return std::nullopt;
  std::string record = std::move(coercionRecords_.front());
  coercionRecords_.pop_front();
  return record;
}

IID CDriver::GetCallContext() const {
  const MemberDescriptor* member = CurrentMember();
  return member ? member->InterfaceId() : GUID_NULL;
}

const MemberDescriptor* CDriver::CurrentMember() const { return CallContextScope::Innermost(this); }

}  // namespace hvzelta
