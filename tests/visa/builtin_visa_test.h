#pragma once

// A test with the built-in VISA library and a resource manager of its own,
// and the text reads and writes every transport test makes.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "visa/builtin_visa.h"

namespace hvzelta::visa::testing {

class BuiltinVisaTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(visa_.OpenDefaultRM(&rm_), VI_SUCCESS); }
  void TearDown() override { visa_.Close(rm_); }

  // Opens `name`, which must give `status`.
  ViSession Open(const std::string& name, ViStatus status = VI_SUCCESS) {
    ViSession vi = VI_NULL;
    EXPECT_EQ(visa_.Open(rm_, name.c_str(), VI_NO_LOCK, 2000, &vi), status) << name;
    return vi;
  }
  // A write that succeeds takes every byte.
  ViStatus WriteText(ViSession vi, std::string_view text) {
    ViUInt32 written = 0;
    const ViStatus status =
        visa_.Write(vi, reinterpret_cast<const ViByte*>(text.data()), ViUInt32(text.size()), &written);
    EXPECT_EQ(written, status == VI_SUCCESS ? text.size() : written);
    return status;
  }
  // One read's status and the bytes it took.
  using Reply = std::pair<ViStatus, std::string>;
  Reply Read(ViSession vi, ViUInt32 count = 256) {
    std::string text(count, '\0');
    ViUInt32 got = 0;
    const ViStatus status = visa_.Read(vi, reinterpret_cast<ViByte*>(text.data()), count, &got);
    text.resize(got);
    return {status, text};
  }

  BuiltinVisa visa_;
  ViSession rm_ = VI_NULL;
};

}  // namespace hvzelta::visa::testing
