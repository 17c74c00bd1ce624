#pragma once

// The inherent interfaces every IVI driver carries: lifetime, identity,
// operation settings and utility operations. Every member returns a status;
// out values are set to their empty value before any work, and a failure
// leaves its description in the calling thread's error information.

#include <cstdint>

#include "hvzelta/com/bstr.h"
#include "hvzelta/com/types.h"
#include "hvzelta/com/unknown.h"

namespace hvzelta {

constexpr IID MakeIviIid(std::uint16_t low) {
  return IID{0x47ed0000u | low, 0xa398, 0x11d4, {0xba, 0x58, 0x00, 0x00, 0x64, 0x65, 0x73, 0x74}};
}

class IIviComponentIdentity : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5185);
  virtual HRESULT get_Description(BSTR* val) = 0;
  virtual HRESULT get_Revision(BSTR* val) = 0;
  virtual HRESULT get_Vendor(BSTR* val) = 0;

 protected:
  ~IIviComponentIdentity() = default;
};

class IIviDriverIdentity : public IIviComponentIdentity {
 public:
  static constexpr IID kIid = MakeIviIid(0x5186);
  virtual HRESULT get_InstrumentManufacturer(BSTR* val) = 0;
  virtual HRESULT get_InstrumentModel(BSTR* val) = 0;
  virtual HRESULT get_InstrumentFirmwareRevision(BSTR* val) = 0;
  virtual HRESULT get_Identifier(BSTR* val) = 0;
  virtual HRESULT get_SupportedInstrumentModels(BSTR* val) = 0;
  virtual HRESULT get_SpecificationMajorVersion(std::int32_t* val) = 0;
  virtual HRESULT get_SpecificationMinorVersion(std::int32_t* val) = 0;
  virtual HRESULT get_GroupCapabilities(BSTR* val) = 0;

 protected:
  ~IIviDriverIdentity() = default;
};

class IIviDriverOperation : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5188);
  virtual HRESULT get_LogicalName(BSTR* val) = 0;
  virtual HRESULT get_IoResourceDescriptor(BSTR* val) = 0;
  virtual HRESULT get_Cache(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_Cache(VARIANT_BOOL val) = 0;
  virtual HRESULT get_InterchangeCheck(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_InterchangeCheck(VARIANT_BOOL val) = 0;
  virtual HRESULT get_QueryInstrumentStatus(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_QueryInstrumentStatus(VARIANT_BOOL val) = 0;
  virtual HRESULT get_RangeCheck(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_RangeCheck(VARIANT_BOOL val) = 0;
  virtual HRESULT get_RecordCoercions(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_RecordCoercions(VARIANT_BOOL val) = 0;
  virtual HRESULT get_Simulate(VARIANT_BOOL* val) = 0;
  virtual HRESULT put_Simulate(VARIANT_BOOL val) = 0;
  virtual HRESULT get_DriverSetup(BSTR* val) = 0;
  virtual HRESULT InvalidateAllAttributes() = 0;
  virtual HRESULT ClearInterchangeWarnings() = 0;
  virtual HRESULT GetNextInterchangeWarning(BSTR* pbstrWarning) = 0;
  virtual HRESULT ResetInterchangeCheck() = 0;
  virtual HRESULT GetNextCoercionRecord(BSTR* val) = 0;

 protected:
  ~IIviDriverOperation() = default;
};

class IIviDriverUtility : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5189);
  virtual HRESULT Reset() = 0;
  virtual HRESULT ResetWithDefaults() = 0;
  virtual HRESULT Disable() = 0;
  virtual HRESULT SelfTest(std::int32_t* TestResult, BSTR* TestMessage) = 0;
  virtual HRESULT ErrorQuery(std::int32_t* ErrorCode, BSTR* ErrorMessage) = 0;
  virtual HRESULT LockObject() = 0;
  virtual HRESULT UnlockObject() = 0;

 protected:
  ~IIviDriverUtility() = default;
};

class IIviDriver : public IUnknown {
 public:
  static constexpr IID kIid = MakeIviIid(0x5184);
  virtual HRESULT get_DriverOperation(IIviDriverOperation** val) = 0;
  virtual HRESULT get_Identity(IIviDriverIdentity** val) = 0;
  virtual HRESULT get_Utility(IIviDriverUtility** val) = 0;
  // ResourceName: a resource descriptor such as "TCPIP::192.0.2.1::5025::SOCKET"
  // or a logical name of the configuration store. OptionString: comma-separated
  // name=value pairs, with "DriverSetup=..." last.
  virtual HRESULT Initialize(BSTR ResourceName, VARIANT_BOOL IdQuery, VARIANT_BOOL Reset, BSTR OptionString) = 0;
  virtual HRESULT get_Initialized(VARIANT_BOOL* val) = 0;
  virtual HRESULT Close() = 0;

 protected:
  ~IIviDriver() = default;
};

}  // namespace hvzelta
