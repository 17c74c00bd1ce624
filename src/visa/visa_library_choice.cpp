#include "visa/visa_library_choice.h"

#include <cstdlib>

#include "platform/text.h"
#include "visa/builtin_visa.h"
#include "visa/installed_visa.h"

namespace hvzelta::visa {

VisaLibraryChoice ChooseVisaLibrary(std::string_view configuredPath) {
  std::string path(TrimWhiteSpace(configuredPath));
  if (path.empty()) {
    const char* fromEnvironment = std::getenv("HVZELTA_VISA_LIBRARY");
    if (fromEnvironment) path = std::string(TrimWhiteSpace(fromEnvironment));
  }
  VisaLibraryChoice choice;
  if (path.empty() || EqualsIgnoringCase(path, "builtin")) {
    choice.library = BuiltinVisaLibrary();
    return choice;
  }
  choice.status = InstalledVisa::Load(path, choice.library, choice.error);
  return choice;
}

}  // namespace hvzelta::visa
