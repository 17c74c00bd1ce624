#pragma once

// The per-thread record of the last failure of the object interface: what went
// wrong, who said so, in which interface, and where to read more.

#include <cstdint>
#include <string>

#include "hvzelta/com/types.h"
#include "hvzelta/export.h"

namespace hvzelta {

struct ErrorInfo {
  std::wstring description;
  std::wstring source;
  IID interfaceId = GUID_NULL;
  std::wstring helpFile;
  std::uint32_t helpContext = 0;
};

// Replaces the calling thread's record.
HVZELTA_API void SetErrorInfo(ErrorInfo info);
// Moves the calling thread's record into `info` and clears it; false when
// there was none (then `info` is left as it was).
HVZELTA_API bool GetErrorInfo(ErrorInfo& info);
// The calling thread's record without clearing it; null when there is none.
HVZELTA_API const ErrorInfo* PeekErrorInfo();
HVZELTA_API void ClearErrorInfo();

}  // namespace hvzelta
