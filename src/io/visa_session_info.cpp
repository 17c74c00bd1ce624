// The resource's description and its attributes by identifier.

#include <bit>
#include <cstdio>
#include <limits>
#include <type_traits>

#include "base/error_reporter.h"
#include "fmtio/io_error.h"
#include "io/visa_com_session.h"

namespace hvzelta {

using namespace visa;

namespace {

// Attributes read into a 64-bit number start with their own bytes.
static_assert(std::endian::native == std::endian::little);

// VISA numbers its text attributes in the upper half of the identifiers.
constexpr bool IsTextAttribute(ViAttr attribute) { return (attribute & 0x80000000u) != 0; }

// What a typed read may turn an attribute into: the type's name in the
// conversion failure and the largest number it holds.
template <class T>
struct Conversion;
template <>
struct Conversion<std::uint8_t> {
  static constexpr std::string_view kName = "UINT8";
  static constexpr ViAttrState kMaximum = std::numeric_limits<std::uint8_t>::max();
};
template <>
struct Conversion<std::uint16_t> {
  static constexpr std::string_view kName = "UINT16";
  static constexpr ViAttrState kMaximum = std::numeric_limits<std::uint16_t>::max();
};
template <>
struct Conversion<std::uint32_t> {
  static constexpr std::string_view kName = "UINT32";
  static constexpr ViAttrState kMaximum = std::numeric_limits<std::uint32_t>::max();
};
template <>
struct Conversion<std::uint64_t> {
  static constexpr std::string_view kName = "UINT64";
  static constexpr ViAttrState kMaximum = std::numeric_limits<std::uint64_t>::max();
};
template <>
struct Conversion<VARIANT_BOOL> {
  static constexpr std::string_view kName = "boolean";
  static constexpr ViAttrState kMaximum = 1;
};
template <>
struct Conversion<std::string> {
  static constexpr std::string_view kName = "string";
};

}  // namespace

HRESULT CVisaComSession::ReadAttribute(ViAttr attribute, AttributeValue& value) {
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  value.text = IsTextAttribute(attribute);
  ViStatus status = VI_SUCCESS;
  if (value.text) {
    ViChar text[VI_FIND_BUFLEN] = {};
    status = visa_->GetAttribute(session_, attribute, text);
    text[VI_FIND_BUFLEN - 1] = '\0';
    value.characters = text;
  } else {
    value.number = 0;
    status = visa_->GetAttribute(session_, attribute, &value.number);
  }
  return status < VI_SUCCESS ? PassOn(status) : S_OK;
}

HRESULT CVisaComSession::ReportConversion(ViAttr attribute, std::string_view target) {
  char sentence[120];
  std::snprintf(sentence, sizeof sentence, "GetAttribute could not convert attribute with ID %d to a %.*s value.",
                static_cast<int>(attribute), static_cast<int>(target.size()), target.data());
  return ReportIoError(Reporter(), sentence);
}

template <class T>
HRESULT CVisaComSession::GetConverted(ViAttr attribute, T* value, std::string_view method,
                                      std::string_view parameter) {
  if (!value) return ReportNullPointer(method, parameter);
  AttributeValue read;
  if (HRESULT hr = ReadAttribute(attribute, read); Failed(hr)) return hr;
  if constexpr (std::is_same_v<T, std::string>) {
    if (!read.text) return ReportConversion(attribute, Conversion<T>::kName);
    *value = std::move(read.characters);
  } else {
    if (read.text || read.number > Conversion<T>::kMaximum) return ReportConversion(attribute, Conversion<T>::kName);
    if constexpr (std::is_same_v<T, VARIANT_BOOL>) {
      *value = ToVariantBool(read.number != 0);
    } else {
      *value = static_cast<T>(read.number);
    }
  }
  return S_OK;
}

HRESULT CVisaComSession::GetAttribute(std::uint32_t attribute, std::uint8_t* value) {
  return GetConverted(attribute, value, "GetAttribute", "pValue");
}
HRESULT CVisaComSession::GetAttribute(std::uint32_t attribute, std::uint16_t* value) {
  return GetConverted(attribute, value, "GetAttribute", "pValue");
}
HRESULT CVisaComSession::GetAttribute(std::uint32_t attribute, std::uint32_t* value) {
  return GetConverted(attribute, value, "GetAttribute", "pValue");
}
HRESULT CVisaComSession::GetAttribute(std::uint32_t attribute, std::uint64_t* value) {
  return GetConverted(attribute, value, "GetAttribute", "pValue");
}
HRESULT CVisaComSession::GetAttribute(std::uint32_t attribute, VARIANT_BOOL* value) {
  return GetConverted(attribute, value, "GetAttribute", "pValue");
}
HRESULT CVisaComSession::GetAttribute(std::uint32_t attribute, std::string* value) {
  return GetConverted(attribute, value, "GetAttribute", "pValue");
}

HRESULT CVisaComSession::SetAttribute(std::uint32_t attribute, std::uint64_t value) {
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  if (ViStatus status = visa_->SetAttribute(session_, attribute, value); status < VI_SUCCESS) return PassOn(status);
  return S_OK;
}

HRESULT CVisaComSession::GetResourceName(std::string* pbstrResourceName) {
  return GetConverted(VI_ATTR_RSRC_NAME, pbstrResourceName, "GetResourceName", "pbstrResourceName");
}

HRESULT CVisaComSession::GetResourceClass(std::string* pbstrResourceClass) {
  return GetConverted(VI_ATTR_RSRC_CLASS, pbstrResourceClass, "GetResourceClass", "pbstrResourceClass");
}

HRESULT CVisaComSession::GetInterfaceType(VisaInterfaceType* peType) {
  std::uint16_t type = 0;
  if (!peType) return ReportNullPointer("GetInterfaceType", "peType");
  if (HRESULT hr = GetConverted(VI_ATTR_INTF_TYPE, &type, "GetInterfaceType", "peType"); Failed(hr)) return hr;
  // The library counts from 1 in the framework's order.
  *peType = type >= 1 && type <= 7 ? static_cast<VisaInterfaceType>(type - 1) : VisaInterfaceType::Other;
  return S_OK;
}

HRESULT CVisaComSession::GetProtocol(VisaIoProtocol* peProtocol) {
  std::uint16_t protocol = 0;
  if (!peProtocol) return ReportNullPointer("GetProtocol", "peProtocol");
  if (HRESULT hr = GetConverted(VI_ATTR_IO_PROT, &protocol, "GetProtocol", "peProtocol"); Failed(hr)) return hr;
  if (protocol < 1 || protocol > 5) return ReportIoError(Reporter(), IoFailure::UnsupportedProtocol);
  *peProtocol = static_cast<VisaIoProtocol>(protocol - 1);
  return S_OK;
}

HRESULT CVisaComSession::GetShort(ViAttr attribute, std::int16_t* value, std::string_view method,
                                  std::string_view parameter) {
  if (!value) return ReportNullPointer(method, parameter);
  std::uint16_t number = 0;
  const HRESULT hr = GetConverted(attribute, &number, method, parameter);
  *value = static_cast<std::int16_t>(number);
  return hr;
}

HRESULT CVisaComSession::GetInterfaceNumber(std::int16_t* psInterfaceNumber) {
  return GetShort(VI_ATTR_INTF_NUM, psInterfaceNumber, "GetInterfaceNumber", "psInterfaceNumber");
}

HRESULT CVisaComSession::GetManufacturerId(std::int16_t* psManufacturerId) {
  return GetShort(VI_ATTR_MANF_ID, psManufacturerId, "GetManufacturerId", "psManufacturerId");
}

HRESULT CVisaComSession::GetModelCode(std::int16_t* psModelCode) {
  return GetShort(VI_ATTR_MODEL_CODE, psModelCode, "GetModelCode", "psModelCode");
}

}  // namespace hvzelta
