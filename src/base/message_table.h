#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "hvzelta/com/types.h"

namespace hvzelta {

// One message of a driver's message resource. Templates carry %1..%3 insert
// places and end with CR LF, as the resource stores them.
struct MessageRow {
  int number;
  HRESULT status;
  std::uint32_t helpContext;
  std::string_view text;
};

// The driver's message resource, numbered 1 to 60.
std::span<const MessageRow> HalvornZeltaMessages();

}  // namespace hvzelta
