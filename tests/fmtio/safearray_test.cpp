#include "hvzelta/com/safearray.h"

#include <gtest/gtest.h>

#include "hvzelta/com/bstr.h"

namespace hvzelta {
namespace {

TEST(SafeArrayTest, ElementsBoundsAndTwoDimensions) {
  const SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 1}};
  SafeArrayPtr matrix(SafeArrayCreate(VT_R8, 2, bounds));
  ASSERT_NE(matrix, nullptr);
  EXPECT_EQ(SafeArrayGetDim(matrix.get()), 2u);
  EXPECT_EQ(SafeArrayGetElemsize(matrix.get()), 8u);
  std::int32_t upper = 0;
  ASSERT_EQ(SafeArrayGetUBound(matrix.get(), 2, &upper), S_OK);
  EXPECT_EQ(upper, 2);
  EXPECT_EQ(SafeArrayGetUBound(matrix.get(), 3, &upper), DISP_E_BADINDEX);
  const std::int32_t at[2] = {2, 2};
  const double value = 6.5;
  ASSERT_EQ(SafeArrayPutElement(matrix.get(), at, &value), S_OK);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(matrix.get(), &data), S_OK);
  EXPECT_EQ(static_cast<double*>(data)[5], 6.5);  // the first index varies fastest
  EXPECT_EQ(SafeArrayDestroy(matrix.get()), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnaccessData(matrix.get()), S_OK);
  const std::int32_t outside[2] = {3, 1};
  EXPECT_EQ(SafeArrayPutElement(matrix.get(), outside, &value), DISP_E_BADINDEX);

  EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_R8, 0, 0x7FFFFFFF), nullptr);  // more than a 32-bit byte count
}

TEST(SafeArrayTest, TextElementsAreOwnedCopiedAndResized) {
  SafeArrayPtr names(SafeArrayCreateVector(VT_BSTR, 0, 2));
  Bstr first(L"first");
  const std::int32_t zero = 0;
  ASSERT_EQ(SafeArrayPutElement(names.get(), &zero, first.Get()), S_OK);
  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(names.get(), &copy), S_OK);
  SafeArrayPtr owned(copy);
  Bstr read;
  ASSERT_EQ(SafeArrayGetElement(owned.get(), &zero, read.Out()), S_OK);
  EXPECT_EQ(read.View(), L"first");
  EXPECT_NE(read.Get(), static_cast<BSTR*>(names->pvData)[0]);

  // Shrinking frees the texts that fall off; growing adds empty ones.
  const SAFEARRAYBOUND one{1, 0};
  ASSERT_EQ(SafeArrayRedim(owned.get(), &one), S_OK);
  const SAFEARRAYBOUND three{3, 0};
  ASSERT_EQ(SafeArrayRedim(owned.get(), &three), S_OK);
  EXPECT_EQ(SafeArrayLength(owned.get()), 3u);
  EXPECT_EQ(static_cast<BSTR*>(owned->pvData)[1], nullptr);
  EXPECT_EQ(BstrView(static_cast<BSTR*>(owned->pvData)[0]), L"first");
}

}  // namespace
}  // namespace hvzelta
