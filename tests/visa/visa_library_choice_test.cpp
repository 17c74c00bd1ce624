// Picking the VISA library, and talking through an installed one (a fake
// VISA shared library built with the tests).

#include "visa/visa_library_choice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "visa/builtin_visa.h"

namespace hvzelta::visa {
namespace {

TEST(VisaLibraryChoice, BuiltInUnlessALibraryIsNamed) {
  ::unsetenv("HVZELTA_VISA_LIBRARY");
  EXPECT_EQ(ChooseVisaLibrary().library, BuiltinVisaLibrary());
  EXPECT_EQ(ChooseVisaLibrary("BuiltIn").library, BuiltinVisaLibrary());

  // DriverSetup wins over the environment.
  ::setenv("HVZELTA_VISA_LIBRARY", "/nonexistent/libvisa.so", 1);
  EXPECT_EQ(ChooseVisaLibrary("builtin").library, BuiltinVisaLibrary());
  auto fromEnvironment = ChooseVisaLibrary();
  ::unsetenv("HVZELTA_VISA_LIBRARY");
  EXPECT_EQ(fromEnvironment.library, nullptr);
  EXPECT_EQ(fromEnvironment.status, VI_ERROR_LIBRARY_NFOUND);
  EXPECT_NE(fromEnvironment.error.find("/nonexistent/libvisa.so"), std::string::npos) << fromEnvironment.error;

  auto incomplete = ChooseVisaLibrary(HVZELTA_FAKE_VISA_INCOMPLETE);
  EXPECT_EQ(incomplete.library, nullptr);
  EXPECT_EQ(incomplete.status, VI_ERROR_LIBRARY_NFOUND);
  EXPECT_NE(incomplete.error.find(HVZELTA_FAKE_VISA_INCOMPLETE), std::string::npos) << incomplete.error;
  EXPECT_NE(incomplete.error.find("viFlush"), std::string::npos) << "the missing function is named: " << incomplete.error;
}

// The exchange itself is the I/O log's test, through the same library.
TEST(VisaLibraryChoice, AnInstalledLibraryIsReachedForAttributesStatusTextsAndEvents) {
  auto choice = ChooseVisaLibrary(HVZELTA_FAKE_VISA);
  ASSERT_EQ(choice.status, VI_SUCCESS) << choice.error;
  IVisaLibrary& visa = *choice.library;
  ViSession rm = VI_NULL;
  ViSession vi = VI_NULL;
  ASSERT_EQ(visa.OpenDefaultRM(&rm), VI_SUCCESS);
  ASSERT_EQ(visa.Open(rm, "FAKE::INSTR", VI_NO_LOCK, 2000, &vi), VI_SUCCESS);
  EXPECT_EQ(visa.SetAttribute(vi, VI_ATTR_TMO_VALUE, 1234), VI_SUCCESS);
  ViUInt32 timeout = 0;
  EXPECT_EQ(visa.GetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
  EXPECT_EQ(timeout, 1234u);
  char description[VI_FIND_BUFLEN];
  EXPECT_EQ(visa.StatusDesc(vi, -5, description), VI_SUCCESS);
  EXPECT_STREQ(description, "fake status -5");

  // Events, which the library has: two service requests queue up.
  EXPECT_EQ(visa.EnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR), VI_ERROR_INV_PARAMETER);
  ASSERT_EQ(visa.EnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS);
  ViUInt32 count = 0;
  for (int i = 0; i < 2; ++i)
    ASSERT_EQ(visa.Write(vi, reinterpret_cast<const ViByte*>("*SRE\n"), 5, &count), VI_SUCCESS);
  ViEventType type = 0;
  ViEvent context = VI_NULL;
  EXPECT_EQ(visa.WaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, &type, &context), VI_SUCCESS);
  EXPECT_EQ(type, VI_EVENT_SERVICE_REQ);
  EXPECT_EQ(visa.Close(context), VI_SUCCESS);
  EXPECT_EQ(visa.DiscardEvents(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS);
  EXPECT_EQ(visa.WaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, &type, &context), VI_ERROR_TMO);
  EXPECT_EQ(visa.DisableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS);
  EXPECT_EQ(visa.Close(vi), VI_SUCCESS);
  EXPECT_EQ(visa.Close(rm), VI_SUCCESS);
}

}  // namespace
}  // namespace hvzelta::visa
