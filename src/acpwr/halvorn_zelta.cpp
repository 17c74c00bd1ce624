#include "acpwr/halvorn_zelta.h"

#include <memory>
#include <new>

#include "acpwr/enum_command.h"
#include "acpwr/member_helpers.h"
#include "base/halvorn_zelta_error_reporter.h"
#include "core/interface_table.h"
#include "hvzelta_version.h"
#include "platform/text.h"

namespace hvzelta {

const DriverConstants HalvornZelta::kConstants{
    .cFunctionPrefix = "hvzelta",
    .identifier = "HalvornZelta",
    .vendor = "Halvorn",
    .description = "IVI Driver for HalvornZelta",
    .revision = HVZELTA_REVISION,
    .groupCapabilities = "IviACPwrBase",
    .supportedInstrumentModels = "ZTA100,ZTA200,ZTA300,ZTA400",
    .defaultSimulationModel = "ZTA100",
    .classSpecificationMajorVersion = 1,
    .classSpecificationMinorVersion = 2,
    .interchangeCheckSupported = false,
    .selfTestTimeoutMs = 2000,
    .disableTimeoutMs = 2000,
    .resetTimeoutMs = 2000,
    .coercionRecordBound = 1000,
};

namespace {

using K = MemberKind;
constexpr InitCheck kExempt = InitCheck::Exempt;

// The member descriptors of the root's inherent interfaces.
namespace members {
#define HVZ_MEMBER(var, iface, kind, name, ...) \
  const MemberDescriptor var{iface::kIid, #iface, kind, name __VA_OPT__(, ) __VA_ARGS__};
HVZ_MEMBER(kGetDriverOperation, IIviDriver, K::Getter, "DriverOperation", kExempt)
HVZ_MEMBER(kGetIdentity, IIviDriver, K::Getter, "Identity", kExempt)
HVZ_MEMBER(kGetUtility, IIviDriver, K::Getter, "Utility", kExempt)
HVZ_MEMBER(kInitialize, IIviDriver, K::Method, "Initialize", kExempt)
HVZ_MEMBER(kGetInitialized, IIviDriver, K::Getter, "Initialized", kExempt)
HVZ_MEMBER(kClose, IIviDriver, K::Method, "Close")
HVZ_MEMBER(kGetDescription, IIviComponentIdentity, K::Getter, "Description", kExempt)
HVZ_MEMBER(kGetRevision, IIviComponentIdentity, K::Getter, "Revision", kExempt)
HVZ_MEMBER(kGetVendor, IIviComponentIdentity, K::Getter, "Vendor", kExempt)
HVZ_MEMBER(kGetInstrumentManufacturer, IIviDriverIdentity, K::Getter, "InstrumentManufacturer")
HVZ_MEMBER(kGetInstrumentModel, IIviDriverIdentity, K::Getter, "InstrumentModel")
HVZ_MEMBER(kGetInstrumentFirmwareRevision, IIviDriverIdentity, K::Getter, "InstrumentFirmwareRevision")
HVZ_MEMBER(kGetIdentifier, IIviDriverIdentity, K::Getter, "Identifier", kExempt)
HVZ_MEMBER(kGetSupportedInstrumentModels, IIviDriverIdentity, K::Getter, "SupportedInstrumentModels", kExempt)
HVZ_MEMBER(kGetSpecificationMajorVersion, IIviDriverIdentity, K::Getter, "SpecificationMajorVersion", kExempt)
HVZ_MEMBER(kGetSpecificationMinorVersion, IIviDriverIdentity, K::Getter, "SpecificationMinorVersion", kExempt)
HVZ_MEMBER(kGetGroupCapabilities, IIviDriverIdentity, K::Getter, "GroupCapabilities")
HVZ_MEMBER(kGetLogicalName, IIviDriverOperation, K::Getter, "LogicalName")
HVZ_MEMBER(kGetIoResourceDescriptor, IIviDriverOperation, K::Getter, "IoResourceDescriptor")
HVZ_MEMBER(kGetCache, IIviDriverOperation, K::Getter, "Cache")
HVZ_MEMBER(kPutCache, IIviDriverOperation, K::Putter, "Cache")
HVZ_MEMBER(kGetInterchangeCheck, IIviDriverOperation, K::Getter, "InterchangeCheck")
HVZ_MEMBER(kPutInterchangeCheck, IIviDriverOperation, K::Putter, "InterchangeCheck")
HVZ_MEMBER(kGetQueryInstrumentStatus, IIviDriverOperation, K::Getter, "QueryInstrumentStatus")
HVZ_MEMBER(kPutQueryInstrumentStatus, IIviDriverOperation, K::Putter, "QueryInstrumentStatus")
HVZ_MEMBER(kGetRangeCheck, IIviDriverOperation, K::Getter, "RangeCheck")
HVZ_MEMBER(kPutRangeCheck, IIviDriverOperation, K::Putter, "RangeCheck")
HVZ_MEMBER(kGetRecordCoercions, IIviDriverOperation, K::Getter, "RecordCoercions")
HVZ_MEMBER(kPutRecordCoercions, IIviDriverOperation, K::Putter, "RecordCoercions")
HVZ_MEMBER(kGetSimulate, IIviDriverOperation, K::Getter, "Simulate")
HVZ_MEMBER(kPutSimulate, IIviDriverOperation, K::Putter, "Simulate")
HVZ_MEMBER(kGetDriverSetup, IIviDriverOperation, K::Getter, "DriverSetup")
HVZ_MEMBER(kInvalidateAllAttributes, IIviDriverOperation, K::Method, "InvalidateAllAttributes")
HVZ_MEMBER(kClearInterchangeWarnings, IIviDriverOperation, K::Method, "ClearInterchangeWarnings")
HVZ_MEMBER(kGetNextInterchangeWarning, IIviDriverOperation, K::Method, "GetNextInterchangeWarning")
HVZ_MEMBER(kResetInterchangeCheck, IIviDriverOperation, K::Method, "ResetInterchangeCheck")
HVZ_MEMBER(kGetNextCoercionRecord, IIviDriverOperation, K::Method, "GetNextCoercionRecord")
HVZ_MEMBER(kReset, IIviDriverUtility, K::Method, "Reset")
HVZ_MEMBER(kResetWithDefaults, IIviDriverUtility, K::Method, "ResetWithDefaults")
HVZ_MEMBER(kDisable, IIviDriverUtility, K::Method, "Disable")
HVZ_MEMBER(kSelfTest, IIviDriverUtility, K::Method, "SelfTest")
HVZ_MEMBER(kErrorQuery, IIviDriverUtility, K::Method, "ErrorQuery")
HVZ_MEMBER(kLockObject, IIviDriverUtility, K::Method, "LockObject")
HVZ_MEMBER(kUnlockObject, IIviDriverUtility, K::Method, "UnlockObject")
HVZ_MEMBER(kGetOutputPhases, IHalvornZelta, K::Getter, "OutputPhases", kExempt)
HVZ_MEMBER(kGetSystem, IHalvornZelta, K::Getter, "System", kExempt)
HVZ_MEMBER(kGetTrigger, IHalvornZelta, K::Getter, "Trigger", kExempt)
HVZ_MEMBER(kGetOutputs, IHalvornZelta, K::Getter, "Outputs", kExempt)
HVZ_MEMBER(kGetMemory, IHalvornZelta, K::Getter, "Memory", kExempt)
HVZ_MEMBER(kGetClassOutputPhases, IIviACPwr, K::Getter, "OutputPhases", kExempt)
HVZ_MEMBER(kGetArbWaveform, IIviACPwr, K::Getter, "ArbWaveform", kExempt)
HVZ_MEMBER(kAttachToExistingCSession, IHalvornZelta, K::Method, "AttachToExistingCSession")
HVZ_MEMBER(kGetNativeCHandle, IHalvornZelta, K::Getter, "NativeCHandle")
#undef HVZ_MEMBER
}  // namespace members

std::unique_ptr<CErrorReporter> MakeReporter(const ICallContextProvider& callContext) {
  return std::make_unique<CHalvornZeltaErrorReporter>(callContext);
}

// Instruments quote their error texts; callers want the words alone.
std::string_view StripErrorText(std::string_view text) {
  text = TrimWhiteSpace(text);
  while (!text.empty() && text.back() == '"') text.remove_suffix(1);
  while (!text.empty() && text.front() == '"') text.remove_prefix(1);
  return TrimWhiteSpace(text);
}

}  // namespace

HalvornZelta::HalvornZelta() : CDriver(kConstants, &MakeReporter) {}

HRESULT HalvornZelta::QueryInterface(const IID& iid, void** object) {
  auto* root = static_cast<IHalvornZelta*>(this);
  auto* identity = static_cast<IIviDriverIdentity*>(this);
  const HRESULT hr = FindInterface(
      {
          {IID_IUnknown, root},
          {IHalvornZelta::kIid, root},
          {IIviDriver::kIid, root},
          {IIviACPwr::kIid, static_cast<IIviACPwr*>(this)},
          {IHalvornZeltaOutputPhases::kIid, static_cast<IHalvornZeltaOutputPhases*>(&outputPhasesFacet_)},
          {IHalvornZeltaOutputs::kIid, static_cast<IHalvornZeltaOutputs*>(&outputsFacet_)},
          {IIviACPwrOutputPhases::kIid, static_cast<IIviACPwrOutputPhases*>(&classOutputPhases_)},
          {IIviACPwrArbWaveform::kIid, static_cast<IIviACPwrArbWaveform*>(&arbWaveform_)},
          {IIviACPwrExternalSync::kIid, static_cast<IIviACPwrExternalSync*>(&externalSync_)},
          {IHalvornZeltaSystem::kIid, static_cast<IHalvornZeltaSystem*>(&system_)},
          {IHalvornZeltaTrigger::kIid, static_cast<IHalvornZeltaTrigger*>(&trigger_)},
          {IHalvornZeltaMemory::kIid, static_cast<IHalvornZeltaMemory*>(&memory_)},
          {IIviDriverOperation::kIid, static_cast<IIviDriverOperation*>(this)},
          {IIviDriverIdentity::kIid, identity},
          {IIviComponentIdentity::kIid, identity},
          {IIviDriverUtility::kIid, static_cast<IIviDriverUtility*>(this)},
      },
      iid, object);
  if (Succeeded(hr)) AddRef();
  return hr;
}

std::uint32_t HalvornZelta::AddRef() { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

std::uint32_t HalvornZelta::Release() {
  const std::uint32_t left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

HRESULT HalvornZelta::CopyOut(std::string_view text, BSTR* val) {
  const std::wstring wide = Utf8ToWide(text);
  *val = SysAllocStringLen(wide.data(), static_cast<std::uint32_t>(wide.size()));
  return *val ? S_OK : Reporter().Report(Message::OutOfMemory);
}

HRESULT HalvornZelta::GetText(const MemberDescriptor& member, BSTR* val, FunctionRef<std::string()> value) {
  return RunFrame(member, {Out("val", val)}, [&] { return CopyOut(value(), val); });
}

HRESULT HalvornZelta::GetSetting(const MemberDescriptor& member, VARIANT_BOOL* val,
                                 std::atomic<bool> OperationSettings::*setting) {
  return RunFrame(member, {Out("val", val)}, [&] {
    *val = ToVariantBool(Settings().*setting);
    return S_OK;
  });
}

HRESULT HalvornZelta::PutSetting(const MemberDescriptor& member, VARIANT_BOOL val,
                                 std::atomic<bool> OperationSettings::*setting) {
  return RunFrame(member, {In("val", val)}, [&] {
    MutableSettings().*setting = val != VARIANT_FALSE;
    return S_OK;
  });
}

// IIviDriver

HRESULT HalvornZelta::get_DriverOperation(IIviDriverOperation** val) {
  return GetSubObject<IIviDriverOperation>(*this, members::kGetDriverOperation, val, this);
}

HRESULT HalvornZelta::get_Identity(IIviDriverIdentity** val) {
  return GetSubObject<IIviDriverIdentity>(*this, members::kGetIdentity, val, this);
}

HRESULT HalvornZelta::get_Utility(IIviDriverUtility** val) {
  return GetSubObject<IIviDriverUtility>(*this, members::kGetUtility, val, this);
}

HRESULT HalvornZelta::Initialize(BSTR ResourceName, VARIANT_BOOL IdQuery, VARIANT_BOOL Reset, BSTR OptionString) {
  return RunFrame(members::kInitialize,
                  {In("ResourceName", ResourceName), In("IdQuery", IdQuery), In("Reset", Reset),
                   In("OptionString", OptionString)},
                  [&] {
    return InitializeSession(ResourceName, IdQuery != VARIANT_FALSE, Reset != VARIANT_FALSE, BstrView(OptionString));
  });
}

HRESULT HalvornZelta::get_Initialized(VARIANT_BOOL* val) {
  return RunFrame(members::kGetInitialized, {Out("val", val)}, [&] {
    *val = ToVariantBool(IsInitialized());
    return S_OK;
  });
}

HRESULT HalvornZelta::Close() { return RunFrame(members::kClose, {}, [&] { return CloseSession(); }); }

// Sub-objects

HRESULT HalvornZelta::get_OutputPhases(IHalvornZeltaOutputPhases** val) {
  return GetSubObject<IHalvornZeltaOutputPhases>(*this, members::kGetOutputPhases, val, &outputPhasesFacet_);
}
HRESULT HalvornZelta::get_System(IHalvornZeltaSystem** val) {
  return GetSubObject<IHalvornZeltaSystem>(*this, members::kGetSystem, val, &system_);
}
HRESULT HalvornZelta::get_Trigger(IHalvornZeltaTrigger** val) {
  return GetSubObject<IHalvornZeltaTrigger>(*this, members::kGetTrigger, val, &trigger_);
}
HRESULT HalvornZelta::get_Outputs(IHalvornZeltaOutputs** val) {
  return GetSubObject<IHalvornZeltaOutputs>(*this, members::kGetOutputs, val, &outputsFacet_);
}
HRESULT HalvornZelta::get_Memory(IHalvornZeltaMemory** val) {
  return GetSubObject<IHalvornZeltaMemory>(*this, members::kGetMemory, val, &memory_);
}
HRESULT HalvornZelta::get_OutputPhases(IIviACPwrOutputPhases** val) {
  return GetSubObject<IIviACPwrOutputPhases>(*this, members::kGetClassOutputPhases, val, &classOutputPhases_);
}
HRESULT HalvornZelta::get_ArbWaveform(IIviACPwrArbWaveform** val) {
  return GetSubObject<IIviACPwrArbWaveform>(*this, members::kGetArbWaveform, val, &arbWaveform_);
}

// The object tree

HRESULT HalvornZelta::InitializeObjectTree() {
  // Every model has one output phase and one output, in this order.
  if (!outputPhase_) outputPhase_ = std::make_unique<HalvornZeltaOutputPhase>(*this, Identity());
  if (!output_) output_ = std::make_unique<HalvornZeltaOutput>(*this, Identity());
  outputPhases_.Clear();
  outputs_.Clear();
  outputPhases_.Add(*outputPhase_);
  outputs_.Add(*output_);
  InvalidateAttributeTree();
  return S_OK;
}

void HalvornZelta::ReleaseObjectTree() {
  InvalidateAttributeTree();
  outputPhases_.Clear();
  outputs_.Clear();
}

void HalvornZelta::ForEachChild(FunctionRef<void(CNode&)> visit) {
  for (const RepCapCollection* collection : {&outputPhases_, &outputs_}) {
    for (CRepCap* instance : collection->Instances()) visit(*instance);
  }
}

// Enumeration words

HRESULT HalvornZelta::FormatEnum(std::string_view typeName, std::int32_t value, std::string& word) {
  const MemberDescriptor* member = CurrentMember();
  const CEnumCommandConverter* converter = FindEnumConverter(typeName, member ? member->ContextName() : "");
  if (!converter) {
    return Reporter().Report(Message::CannotRecover, "Unrecognized enum name '" + std::string(typeName) + "'.");
  }
  return converter->FormatEnum(Reporter(), member, CDriver::InstrumentModel(), value, IsSixteenBitEnum(typeName),
                               word);
}

HRESULT HalvornZelta::ParseEnum(std::string_view typeName, std::string_view word, std::int32_t& value) {
  const MemberDescriptor* member = CurrentMember();
  const CEnumCommandConverter* converter = FindEnumConverter(typeName, member ? member->ContextName() : "");
  if (!converter) {
    return Reporter().Report(Message::CannotRecover, "Unrecognized enum name '" + std::string(typeName) + "'.");
  }
  return converter->ParseEnum(Reporter(), typeName, CDriver::InstrumentModel(), word, value);
}

std::int32_t HalvornZelta::GetMaxEnumLength(std::string_view typeName) {
  const MemberDescriptor* member = CurrentMember();
  const CEnumCommandConverter* converter = FindEnumConverter(typeName, member ? member->ContextName() : "");
  return converter ? static_cast<std::int32_t>(converter->MaxWordLength()) : 0;
}

// Identity

HRESULT HalvornZelta::get_Description(BSTR* val) {
  return GetText(members::kGetDescription, val, [] { return std::string(kConstants.description); });
}

HRESULT HalvornZelta::get_Revision(BSTR* val) {
  return GetText(members::kGetRevision, val, [] { return std::string(kConstants.revision); });
}

HRESULT HalvornZelta::get_Vendor(BSTR* val) {
  return GetText(members::kGetVendor, val, [] { return std::string(kConstants.vendor); });
}

HRESULT HalvornZelta::get_InstrumentManufacturer(BSTR* val) {
  return GetText(members::kGetInstrumentManufacturer, val, [&] {
    return Settings().simulate ? std::string(kConstants.vendor) : CDriver::InstrumentManufacturer();
  });
}

HRESULT HalvornZelta::get_InstrumentModel(BSTR* val) {
  return GetText(members::kGetInstrumentModel, val, [&] { return CDriver::InstrumentModel(); });
}

HRESULT HalvornZelta::get_InstrumentFirmwareRevision(BSTR* val) {
  return GetText(members::kGetInstrumentFirmwareRevision, val, [&] {
    return Settings().simulate ? "Sim" + std::string(kConstants.revision) : CDriver::FirmwareRevision();
  });
}

HRESULT HalvornZelta::get_Identifier(BSTR* val) {
  return GetText(members::kGetIdentifier, val, [] { return std::string(kConstants.identifier); });
}

HRESULT HalvornZelta::get_SupportedInstrumentModels(BSTR* val) {
  return GetText(members::kGetSupportedInstrumentModels, val,
                 [] { return std::string(kConstants.supportedInstrumentModels); });
}

HRESULT HalvornZelta::get_SpecificationMajorVersion(std::int32_t* val) {
  return RunFrame(members::kGetSpecificationMajorVersion, {Out("val", val)}, [&] {
    *val = kConstants.classSpecificationMajorVersion;
    return S_OK;
  });
}

HRESULT HalvornZelta::get_SpecificationMinorVersion(std::int32_t* val) {
  return RunFrame(members::kGetSpecificationMinorVersion, {Out("val", val)}, [&] {
    *val = kConstants.classSpecificationMinorVersion;
    return S_OK;
  });
}

HRESULT HalvornZelta::get_GroupCapabilities(BSTR* val) {
  return GetText(members::kGetGroupCapabilities, val, [] { return std::string(kConstants.groupCapabilities); });
}

// Operation settings

HRESULT HalvornZelta::get_LogicalName(BSTR* val) {
  return GetText(members::kGetLogicalName, val, [&] { return CDriver::LogicalName(); });
}

HRESULT HalvornZelta::get_IoResourceDescriptor(BSTR* val) {
  return GetText(members::kGetIoResourceDescriptor, val, [&] { return CDriver::ResourceDescriptor(); });
}

HRESULT HalvornZelta::get_DriverSetup(BSTR* val) {
  return GetText(members::kGetDriverSetup, val, [&] { return CDriver::DriverSetup(); });
}

HRESULT HalvornZelta::get_Cache(VARIANT_BOOL* val) {
  return GetSetting(members::kGetCache, val, &OperationSettings::cache);
}

HRESULT HalvornZelta::put_Cache(VARIANT_BOOL val) {
  return RunFrame(members::kPutCache, {In("val", val)}, [&] {
    MutableSettings().cache = val != VARIANT_FALSE;
    if (val == VARIANT_FALSE) InvalidateAttributeTree();
    return S_OK;
  });
}

HRESULT HalvornZelta::get_InterchangeCheck(VARIANT_BOOL* val) {
  return GetSetting(members::kGetInterchangeCheck, val, &OperationSettings::interchangeCheck);
}

HRESULT HalvornZelta::put_InterchangeCheck(VARIANT_BOOL val) {
  return RunFrame(members::kPutInterchangeCheck, {In("val", val)}, [&] {
    if (val != VARIANT_FALSE) {
      return Reporter().Report(Message::ValueNotSupported, {}, {"VARIANT_TRUE", "val", "put_InterchangeCheck"});
    }
    MutableSettings().interchangeCheck = false;
    return S_OK;
  });
}

HRESULT HalvornZelta::get_QueryInstrumentStatus(VARIANT_BOOL* val) {
  return GetSetting(members::kGetQueryInstrumentStatus, val, &OperationSettings::queryInstrumentStatus);
}

HRESULT HalvornZelta::put_QueryInstrumentStatus(VARIANT_BOOL val) {
  return RunFrame(members::kPutQueryInstrumentStatus, {In("val", val)}, [&] {
    MutableSettings().queryInstrumentStatus = val != VARIANT_FALSE;
    if (val == VARIANT_FALSE || Settings().simulate) return S_OK;
    // Start the polls from a clean instrument status.
    if (!Io()) return Reporter().Report(Message::NotInitialized);
    return Io()->WriteString("*CLS", true, kKeepTimeout);
  });
}

HRESULT HalvornZelta::get_RangeCheck(VARIANT_BOOL* val) {
  return GetSetting(members::kGetRangeCheck, val, &OperationSettings::rangeCheck);
}

HRESULT HalvornZelta::put_RangeCheck(VARIANT_BOOL val) {
  return PutSetting(members::kPutRangeCheck, val, &OperationSettings::rangeCheck);
}

HRESULT HalvornZelta::get_RecordCoercions(VARIANT_BOOL* val) {
  return GetSetting(members::kGetRecordCoercions, val, &OperationSettings::recordCoercions);
}

HRESULT HalvornZelta::put_RecordCoercions(VARIANT_BOOL val) {
  return PutSetting(members::kPutRecordCoercions, val, &OperationSettings::recordCoercions);
}

HRESULT HalvornZelta::get_Simulate(VARIANT_BOOL* val) {
  return GetSetting(members::kGetSimulate, val, &OperationSettings::simulate);
}

HRESULT HalvornZelta::put_Simulate(VARIANT_BOOL val) {
  return RunFrame(members::kPutSimulate, {In("val", val)}, [&] {
    // A session that never opened an instrument has nothing to fall back to.
    if (val == VARIANT_FALSE && InitialSettings().simulate) {
      return Reporter().Report(Message::CannotChangeSimulationState);
    }
    MutableSettings().simulate = val != VARIANT_FALSE;
    return S_OK;
  });
}

HRESULT HalvornZelta::InvalidateAllAttributes() {
  return RunFrame(members::kInvalidateAllAttributes, {}, [&] {
    InvalidateAttributeTree();
    return S_OK;
  });
}

HRESULT HalvornZelta::ClearInterchangeWarnings() {
  return RunFrame(members::kClearInterchangeWarnings, {},
                  [&] { return Reporter().ReportMethodNotSupported("ClearInterchangeWarnings"); });
}

HRESULT HalvornZelta::GetNextInterchangeWarning(BSTR* pbstrWarning) {
  return RunFrame(members::kGetNextInterchangeWarning, {Out("pbstrWarning", pbstrWarning)},
                  [&] { return Reporter().ReportMethodNotSupported("GetNextInterchangeWarning"); });
}

HRESULT HalvornZelta::ResetInterchangeCheck() {
  return RunFrame(members::kResetInterchangeCheck, {},
                  [&] { return Reporter().ReportMethodNotSupported("ResetInterchangeCheck"); });
}

HRESULT HalvornZelta::GetNextCoercionRecord(BSTR* val) {
  return RunFrame(members::kGetNextCoercionRecord, {Out("val", val)}, [&] {
    if (!Settings().recordCoercions) return S_OK;
    const std::optional<std::string> record = TakeCoercionRecord();
    return record ? CopyOut(*record, val) : S_OK;
  });
}

// Utility

HRESULT HalvornZelta::QueryInteger(std::string_view command, std::int32_t timeout, std::int32_t& value) {
  if (!Io()) return Reporter().Report(Message::NotInitialized);
  auto packed = PackFormatArgs(command, &value);
  FormatArgs args(packed);
  return Io()->Queryf("%s", "%d", args, timeout);
}

HRESULT HalvornZelta::ResetInstrument(std::int32_t timeout) {
  if (Settings().simulate) return S_OK;
  std::int32_t operationComplete = 0;
  return QueryInteger("*RST;*OPC?", timeout, operationComplete);
}

HRESULT HalvornZelta::ResetInstrumentAndTree() {
  const HRESULT hr = ResetInstrument(kConstants.resetTimeoutMs);
  // Whatever the instrument did, no simulated value may outlive a reset.
  InvalidateAttributeTree();
  return hr;
}

HRESULT HalvornZelta::Reset() {
  return RunFrame(members::kReset, {}, [&] { return ResetInstrumentAndTree(); });
}

HRESULT HalvornZelta::ResetWithDefaults() {
  return RunFrame(members::kResetWithDefaults, {}, [&] {
    if (HRESULT hr = ResetInstrumentAndTree(); Failed(hr)) return hr;
    const OperationSettings initial = InitialSettings();
    HRESULT hr = put_Cache(ToVariantBool(initial.cache));
    if (Succeeded(hr)) hr = put_InterchangeCheck(ToVariantBool(initial.interchangeCheck));
    if (Succeeded(hr)) hr = put_QueryInstrumentStatus(ToVariantBool(initial.queryInstrumentStatus));
    if (Succeeded(hr)) hr = put_RangeCheck(ToVariantBool(initial.rangeCheck));
    if (Succeeded(hr)) hr = put_RecordCoercions(ToVariantBool(initial.recordCoercions));
    if (Succeeded(hr)) hr = put_Simulate(ToVariantBool(initial.simulate));
    return hr;
  });
}

HRESULT HalvornZelta::Disable() {
  return RunFrame(members::kDisable, {}, [&] { return ResetInstrument(kConstants.disableTimeoutMs); });
}

HRESULT HalvornZelta::SelfTest(std::int32_t* TestResult, BSTR* TestMessage) {
  return RunFrame(members::kSelfTest, {Out("TestResult", TestResult), Out("TestMessage", TestMessage)},
                  [&] {
                    if (!Settings().simulate) {
                      if (HRESULT hr = QueryInteger("*TST?", kConstants.selfTestTimeoutMs, *TestResult); Failed(hr)) {
                        return hr;
                      }
                    }
                    return CopyOut(*TestResult == 0 ? "Selftest passed" : "Selftest failed", TestMessage);
                  });
}

HRESULT HalvornZelta::ErrorQuery(std::int32_t* ErrorCode, BSTR* ErrorMessage) {
  return RunFrame(members::kErrorQuery, {Out("ErrorCode", ErrorCode), Out("ErrorMessage", ErrorMessage)},
                  [&] {
                    if (Settings().simulate) return CopyOut("No error.", ErrorMessage);
                    if (!Io()) return Reporter().Report(Message::NotInitialized);
                    // A status poll inside the error query would consume the very error it reports.
                    struct PollingOff {
                      std::atomic<bool>& setting;
                      bool saved = setting.exchange(false);
                      ~PollingOff() { setting = saved; }
                    } pollingOff{MutableSettings().queryInstrumentStatus};
                    std::int32_t code = 0;
                    std::string text;
                    if (Failed(Io()->Queryf(":SYST:ERR?", "%d,%$Ct", &code, &text))) {
                      return Reporter().Report(Message::UnexpectedResponse);
                    }
                    *ErrorCode = code;
                    return CopyOut(StripErrorText(text), ErrorMessage);
                  });
}

HRESULT HalvornZelta::LockObject() {
  return RunFrame(members::kLockObject, {}, [&] { return Reporter().ReportMethodNotSupported("LockObject"); });
}

HRESULT HalvornZelta::UnlockObject() {
  return RunFrame(members::kUnlockObject, {}, [&] { return Reporter().ReportMethodNotSupported("UnlockObject"); });
}

HRESULT HalvornZelta::AttachToExistingCSession() {
  return RunFrame(members::kAttachToExistingCSession, {},
                  [&] { return Reporter().ReportMethodNotSupported("AttachToExistingCSession"); });
}

HRESULT HalvornZelta::get_NativeCHandle(std::int32_t* val) {
  return RunFrame(members::kGetNativeCHandle, {Out("val", val)},
                  [&] { return Reporter().ReportPropertyNotSupported("get_NativeCHandle"); });
}

HRESULT CreateHalvornZelta(const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  HalvornZelta* driver = new (std::nothrow) HalvornZelta();
  if (!driver) return E_OUTOFMEMORY;
  const HRESULT hr = driver->QueryInterface(iid, object);
  driver->Release();
  return hr;
}

}  // namespace hvzelta
