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
  EXPECT_NE(incomplete.error.find("viFlush"), std::string::npos)
      << "the missing function is named: " << incomplete.error;
}

}  // namespace
}  // namespace hvzelta::visa
