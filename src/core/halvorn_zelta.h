#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/driver.h"
#include "hvzelta/halvorn_zelta.h"

namespace hvzelta {

// The driver object: the root of the tree with its inherent interfaces.
class HalvornZelta final : public CDriver,
                           public IHalvornZelta,
                           public IIviDriverOperation,
                           public IIviDriverIdentity,
                           public IIviDriverUtility {
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
  HRESULT AttachToExistingCSession();
  HRESULT get_NativeCHandle(std::int32_t* val);

 protected:
  HRESULT ResetThroughInterface() override { return Reset(); }

 private:
  ~HalvornZelta() override = default;

  HRESULT GetText(const MemberDescriptor& member, BSTR* val, FunctionRef<std::string()> value);
  HRESULT GetSetting(const MemberDescriptor& member, VARIANT_BOOL* val, bool OperationSettings::*setting);
  HRESULT PutSetting(const MemberDescriptor& member, VARIANT_BOOL val, bool OperationSettings::*setting);
  HRESULT CopyOut(std::string_view text, BSTR* val);
  HRESULT QueryInteger(std::string_view command, std::int32_t timeout, std::int32_t& value);
  HRESULT ResetInstrument(std::int32_t timeout);

  std::atomic<std::uint32_t> references_{1};
};

}  // namespace hvzelta
