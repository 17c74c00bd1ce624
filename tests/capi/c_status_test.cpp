// Results of the object interface as C statuses, and the attribute dispatch.

#include <gtest/gtest.h>

#include <array>

#include "capi/attribute_map.h"
#include "capi/session_errors.h"
#include "hvzelta.h"
#include "hvzelta/status.h"

namespace hvzelta::capi {
namespace {

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

ViStatus WritesNothing(ViSession, const char*, const void*) { return VI_SUCCESS; }

// The driver's table has no write-only entry: a table of its own has one.
TEST(AttributeMapTest, AWriteOnlyEntryIsRefusedToReaders) {
  constexpr std::array kTable = {AttributeEntry{20, AttributeType::Int32, nullptr, &WritesNothing}};
  const CIviCAttributeMap map(kTable);
  ViInt32 value = 0;
  EXPECT_EQ(map.Read(VI_NULL, "", 20, AttributeType::Int32, &value, 0), HVZELTA_ERROR_ATTR_NOT_READABLE);
  EXPECT_EQ(map.Write(VI_NULL, "", 20, AttributeType::Int32, &value), VI_SUCCESS);
}

}  // namespace
}  // namespace hvzelta::capi
