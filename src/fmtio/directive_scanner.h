#pragma once

#include <string_view>

#include "fmtio/directive.h"

namespace hvzelta {

// Cuts a format string into literal and directive tokens of the direction's
// table and decodes each directive. Returns false, leaving `cut` unspecified,
// when text remains that no kind of the table accepts.
bool CutFormatString(Direction direction, std::string_view format, CutFormat& cut);

}  // namespace hvzelta
