// Results of the object interface as C statuses, and the attribute dispatch
// on a table of its own.

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "capi/attribute_map.h"
#include "capi/c_messages.h"
#include "capi/session_errors.h"
#include "hvzelta.h"
#include "hvzelta/com/error_info.h"
#include "hvzelta/status.h"
#include "platform/ivi_session.h"

namespace hvzelta::capi {
namespace {

std::string StoredText(ViSession vi, ViStatus& code) {
  char text[256] = {};
  IviSession_GetError(vi, sizeof text, &code, text);
  return text;
}

// The ends of each range, and the class codes, numbered differently on the two sides.
TEST(DriverStatusTest, MapsEveryRangeAndPassesTheRestOn) {
  EXPECT_EQ(MapDriverStatus(E_HALVORNZELTA_IO_TIMEOUT), HVZELTA_ERROR_IO_TIMEOUT);
  EXPECT_EQ(MapDriverStatus(E_IVI_UNKNOWN_PHYSICAL_IDENTIFIER), HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER);
  EXPECT_EQ(MapDriverStatus(E_IVIACPWR_MEASUREMENT_NOT_INITIATED), HVZELTA_ERROR_ALL_PHASES_NOT_SUPPORTED);
  EXPECT_EQ(MapDriverStatus(E_IVIACPWR_CURRENT_PROTECTION), HVZELTA_ERROR_CURRENT_PROTECTION);
  EXPECT_EQ(MapDriverStatus(S_IVI_NSUP_REV_QUERY), HVZELTA_WARN_NSUP_REV_QUERY);
  // Codes without a C counterpart pass unchanged: the gaps of the ranges too.
  EXPECT_EQ(MapDriverStatus(MakeHresult(0x80047005u)), MakeHresult(0x80047005u));
  EXPECT_EQ(MapDriverStatus(E_IVIACPWR_WAVEFORM_RESERVED + 1), E_IVIACPWR_WAVEFORM_RESERVED + 1);
  EXPECT_EQ(MapDriverStatus(S_MORE_DATA_AVAILABLE), S_MORE_DATA_AVAILABLE);
  EXPECT_EQ(MapDriverStatus(E_POINTER), E_POINTER);
}

TEST(DriverStatusTest, StoresTheDriversDescriptionForErrorsAndWarnings) {
  ViSession vi = 0;
  ASSERT_EQ(IviSession_New(&vi), VI_SUCCESS);
  ViStatus code = 0;
  SetErrorInfo(ErrorInfo{L"Reset is not supported \u00e9.", L"HalvornZelta", GUID_NULL, L"", 0});
  EXPECT_EQ(ConvertDriverStatus(vi, S_IVI_NSUP_RESET), HVZELTA_WARN_NSUP_RESET);
  EXPECT_EQ(StoredText(vi, code), "Reset is not supported \xc3\xa9.");
  EXPECT_EQ(code, HVZELTA_WARN_NSUP_RESET);
  EXPECT_EQ(PeekErrorInfo(), nullptr);
  // Success touches nothing; a failure without a description stores nothing.
  ASSERT_EQ(IviSession_SetError(vi, -7, "earlier"), VI_SUCCESS);
  SetErrorInfo(ErrorInfo{L"stale", L"", GUID_NULL, L"", 0});
  EXPECT_EQ(ConvertDriverStatus(vi, S_OK), VI_SUCCESS);
  ClearErrorInfo();
  EXPECT_EQ(ConvertDriverStatus(vi, E_NOINTERFACE), E_NOINTERFACE);
  EXPECT_EQ(ConvertDriverStatus(vi, E_INVALIDARG), HVZELTA_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(ConvertDriverStatus(vi, E_UNEXPECTED), HVZELTA_ERROR_UNEXPECTED);
  EXPECT_EQ(StoredText(vi, code), "earlier") << "the C layer invents no description";
  EXPECT_EQ(IviSession_Dispose(vi), VI_SUCCESS);
}

// A table of its own with a write-only entry, which the driver's table lacks.
ViStatus ReadsSeven(ViSession, const char*, void* value, ViInt32) {
  *static_cast<ViInt32*>(value) = 7;
  return VI_SUCCESS;
}
ViStatus WritesNothing(ViSession, const char*, const void*) { return VI_SUCCESS; }

constexpr std::array kTable = {
    AttributeEntry{10, AttributeType::Int32, &ReadsSeven, nullptr},
    AttributeEntry{20, AttributeType::Int32, nullptr, &WritesNothing},
};

TEST(AttributeMapTest, DispatchChecksIdTypeAndAccessInThatOrder) {
  const CIviCAttributeMap map(kTable);
  ViInt32 value = 0;
  ViStatus code = 0;
  EXPECT_EQ(map.Read(VI_NULL, "", 10, AttributeType::Int32, &value, 0), VI_SUCCESS);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(map.Read(VI_NULL, "", 15, AttributeType::Real64, &value, 0), HVZELTA_ERROR_INVALID_ATTRIBUTE);
  EXPECT_EQ(map.Write(VI_NULL, "", 10, AttributeType::Real64, &value), HVZELTA_ERROR_TYPES_DO_NOT_MATCH);
  EXPECT_EQ(map.Read(VI_NULL, "", 20, AttributeType::Int32, &value, 0), HVZELTA_ERROR_ATTR_NOT_READABLE);
  EXPECT_EQ(StoredText(VI_NULL, code), "Attribute '%1' is write-only.");
  EXPECT_EQ(map.Write(VI_NULL, "", 10, AttributeType::Int32, &value), HVZELTA_ERROR_ATTR_NOT_WRITABLE);
  EXPECT_EQ(map.Write(VI_NULL, "", 20, AttributeType::Int32, &value), VI_SUCCESS);
}

TEST(CMessagesTest, EveryMappedCodeHasAText) {
  for (HRESULT result : {HRESULT{E_HALVORNZELTA_IO_GENERAL}, E_IVI_INVALID_PATHNAME, E_IVI_CHANNEL_NAME_REQUIRED,
                         E_IVI_RESOURCE_UNKNOWN, E_IVIACPWR_WAVEFORM_DC_OFFSET, S_IVI_NSUP_ID_QUERY}) {
    EXPECT_STRNE(CMessageText(MapDriverStatus(result)), "") << std::hex << result;
  }
  // The table holds the IVI texts only: generic codes that pass through have none.
  for (ViStatus code : {ViStatus{0x1234}, HVZELTA_ERROR_INVALID_ARGUMENT, HVZELTA_ERROR_UNEXPECTED}) {
    EXPECT_STREQ(CMessageText(code), "") << std::hex << code;
  }
}

}  // namespace
}  // namespace hvzelta::capi
