#pragma once

// The texts of the C status codes, as hvzelta_error_message hands them out
// and as the attribute functions store them. Placeholders ("%1") stand as
// they are: nothing is substituted into these texts.

#include "hvzelta.h"

namespace hvzelta::capi {

// The empty text for a code without one.
const char* CMessageText(ViStatus code);

}  // namespace hvzelta::capi
