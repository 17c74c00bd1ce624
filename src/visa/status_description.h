#pragma once

// Names and sentences for the VISA statuses this layer returns, as
// StatusDesc gives them: "VI_ERROR_TMO: The operation timed out ...".

#include <string>

#include "visa/visa_types.h"

namespace hvzelta::visa {

// False (with a generic sentence naming the code) for a status not known.
bool DescribeStatus(ViStatus status, std::string& description);

}  // namespace hvzelta::visa
