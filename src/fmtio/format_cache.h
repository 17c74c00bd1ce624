#pragma once

#include <memory>
#include <string_view>

#include "fmtio/directive.h"

namespace hvzelta {

// The cut form of a format string, cut the first time it is seen and shared
// by every session and thread afterwards; null when the format cannot be cut.
// A repeated command costs a lookup in a per-thread table; a format new to
// the thread takes a shared lock on the process-wide table.
std::shared_ptr<const CutFormat> CachedCut(Direction direction, std::string_view format);

}  // namespace hvzelta
