#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "acpwr/halvorn_zelta_output.h"
#include "acpwr/halvorn_zelta_output_phase.h"
#include "acpwr/root_facets.h"
#include "core/driver.h"
#include "core/rep_cap.h"
#include "fmtio/enum_formatter.h"
#include "hvzelta/halvorn_zelta.h"

namespace hvzelta {

// The driver object: the root of the tree. It carries the inherent
// interfaces itself and its other interfaces as facets, owns the output and
// the output phase, and converts enumeration values to command words for the
// formatted I/O engine.
class HalvornZelta final : public CDriver,
                           public IHalvornZelta,
                           public IIviACPwr,
                           public IIviDriverOperation,
                           public IIviDriverIdentity,
                           public IIviDriverUtility,
                           public IEnumFormatter {
 public:
  static const DriverConstants kConstants;

  HalvornZelta();

  // IUnknown
  HRESULT QueryInterface(const IID& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;

  // IIviDriver
  HRESULT get_DriverOperation(IIviDriverOperation** val) override;
  HRESULT get_Identity(IIviDriverIdentity** val) override;
  HRESULT get_Utility(IIviDriverUtility** val) override;
  HRESULT Initialize(BSTR ResourceName, VARIANT_BOOL IdQuery, VARIANT_BOOL Reset, BSTR OptionString) override;
  HRESULT get_Initialized(VARIANT_BOOL* val) override;
  HRESULT Close() override;

  // IHalvornZelta and IIviACPwr
  HRESULT get_OutputPhases(IHalvornZeltaOutputPhases** val) override;
  HRESULT get_System(IHalvornZeltaSystem** val) override;
  HRESULT get_Trigger(IHalvornZeltaTrigger** val) override;
  HRESULT get_Outputs(IHalvornZeltaOutputs** val) override;
  HRESULT get_Memory(IHalvornZeltaMemory** val) override;
  HRESULT get_OutputPhases(IIviACPwrOutputPhases** val) override;
  HRESULT get_ArbWaveform(IIviACPwrArbWaveform** val) override;

  // IIviComponentIdentity and IIviDriverIdentity
  HRESULT get_Description(BSTR* val) override;
  HRESULT get_Revision(BSTR* val) override;
  HRESULT get_Vendor(BSTR* val) override;
  HRESULT get_InstrumentManufacturer(BSTR* val) override;
  HRESULT get_InstrumentModel(BSTR* val) override;
  HRESULT get_InstrumentFirmwareRevision(BSTR* val) override;
  HRESULT get_Identifier(BSTR* val) override;
  HRESULT get_SupportedInstrumentModels(BSTR* val) override;
  HRESULT get_SpecificationMajorVersion(std::int32_t* val) override;
  HRESULT get_SpecificationMinorVersion(std::int32_t* val) override;
  HRESULT get_GroupCapabilities(BSTR* val) override;

  // IIviDriverOperation
  HRESULT get_LogicalName(BSTR* val) override;
  HRESULT get_IoResourceDescriptor(BSTR* val) override;
  HRESULT get_Cache(VARIANT_BOOL* val) override;
  HRESULT put_Cache(VARIANT_BOOL val) override;
  HRESULT get_InterchangeCheck(VARIANT_BOOL* val) override;
  HRESULT put_InterchangeCheck(VARIANT_BOOL val) override;
  HRESULT get_QueryInstrumentStatus(VARIANT_BOOL* val) override;
  HRESULT put_QueryInstrumentStatus(VARIANT_BOOL val) override;
  HRESULT get_RangeCheck(VARIANT_BOOL* val) override;
  HRESULT put_RangeCheck(VARIANT_BOOL val) override;
  HRESULT get_RecordCoercions(VARIANT_BOOL* val) override;
  HRESULT put_RecordCoercions(VARIANT_BOOL val) override;
  HRESULT get_Simulate(VARIANT_BOOL* val) override;
  HRESULT put_Simulate(VARIANT_BOOL val) override;
  HRESULT get_DriverSetup(BSTR* val) override;
  HRESULT InvalidateAllAttributes() override;
  HRESULT ClearInterchangeWarnings() override;
  HRESULT GetNextInterchangeWarning(BSTR* pbstrWarning) override;
  HRESULT ResetInterchangeCheck() override;
  HRESULT GetNextCoercionRecord(BSTR* val) override;

  // IIviDriverUtility
  HRESULT Reset() override;
  HRESULT ResetWithDefaults() override;
  HRESULT Disable() override;
  HRESULT SelfTest(std::int32_t* TestResult, BSTR* TestMessage) override;
  HRESULT ErrorQuery(std::int32_t* ErrorCode, BSTR* ErrorMessage) override;
  HRESULT LockObject() override;
  HRESULT UnlockObject() override;

  // Neither is supported: the C interface has sessions of its own.
  HRESULT AttachToExistingCSession() override;
  HRESULT get_NativeCHandle(std::int32_t* val) override;

  // IEnumFormatter, under the running member's context and the current model.
  HRESULT FormatEnum(std::string_view typeName, std::int32_t value, std::string& word) override;
  HRESULT ParseEnum(std::string_view typeName, std::string_view word, std::int32_t& value) override;
  std::int32_t GetMaxEnumLength(std::string_view typeName) override;

  // The repeated capabilities, as built by the last Initialize (empty after Close).
  const RepCapCollection& OutputPhaseCollection() const { return outputPhases_; }
  const RepCapCollection& OutputCollection() const { return outputs_; }
  ExternalSyncFacet& ExternalSync() { return externalSync_; }
  IUnknown& Identity() { return static_cast<IHalvornZelta&>(*this); }

  void ForEachChild(FunctionRef<void(CNode&)> visit) override;
  IEnumFormatter* EnumFormatter() override { return this; }

 protected:
  HRESULT ResetThroughInterface() override { return Reset(); }
  HRESULT InitializeObjectTree() override;
  void ReleaseObjectTree() override;

 private:
  ~HalvornZelta() override = default;

  HRESULT GetText(const MemberDescriptor& member, BSTR* val, FunctionRef<std::string()> value);
  HRESULT GetSetting(const MemberDescriptor& member, VARIANT_BOOL* val, std::atomic<bool> OperationSettings::*setting);
  HRESULT PutSetting(const MemberDescriptor& member, VARIANT_BOOL val, std::atomic<bool> OperationSettings::*setting);
  HRESULT CopyOut(std::string_view text, BSTR* val);
  HRESULT QueryInteger(std::string_view command, std::int32_t timeout, std::int32_t& value);
  HRESULT ResetInstrument(std::int32_t timeout);
  HRESULT ResetInstrumentAndTree();

  std::atomic<std::uint32_t> references_{1};

  OutputsFacet outputsFacet_{*this, Identity()};
  OutputPhasesFacet outputPhasesFacet_{*this, Identity()};
  ClassOutputPhasesFacet classOutputPhases_{*this, Identity()};
  ArbWaveformFacet arbWaveform_{*this, Identity()};
  ExternalSyncFacet externalSync_{*this, Identity()};
  SystemFacet system_{*this, Identity()};
  TriggerFacet trigger_{*this, Identity()};
  MemoryFacet memory_{*this, Identity()};

  // Made by the first Initialize and kept for the driver's life, so that
  // pointers callers hold stay valid across Close and Initialize.
  std::unique_ptr<HalvornZeltaOutputPhase> outputPhase_;
  std::unique_ptr<HalvornZeltaOutput> output_;
  RepCapCollection outputPhases_{HalvornZeltaOutputPhase::kRepCapName};
  RepCapCollection outputs_{HalvornZeltaOutput::kRepCapName};
};

}  // namespace hvzelta
