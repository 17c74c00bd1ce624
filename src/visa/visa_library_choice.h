#pragma once

// Which VISA library the driver talks through: an installed one when the
// DriverSetup key VisaLibrary or else the environment variable
// HVZELTA_VISA_LIBRARY names it, otherwise (or when the name is "builtin")
// the built-in one.

#include <memory>
#include <string>
#include <string_view>

#include "visa/visa_library.h"

namespace hvzelta::visa {

struct VisaLibraryChoice {
  std::shared_ptr<IVisaLibrary> library;  // null when loading failed
  ViStatus status = VI_SUCCESS;
  std::string error;  // why loading failed, naming the library
};

// `configuredPath` is the DriverSetup value; empty when not given.
VisaLibraryChoice ChooseVisaLibrary(std::string_view configuredPath = {});

}  // namespace hvzelta::visa
