#pragma once

#include <string_view>

#include "fmtio/format_args.h"
#include "hvzelta/com/safearray.h"
#include "hvzelta/com/types.h"

namespace hvzelta {

class IIoBuffer;
class IEnumFormatter;
class IErrorReporter;

// The formatted read engine: cuts `format` and parses the response waiting
// in `buffer` with it, storing values through the pointer arguments. Returns
// S_OK when the response ended during the last directive processed (later
// directives are then not processed and their destinations keep their
// values), S_MORE_DATA_AVAILABLE when unread data remains, or the failure.
// `reporter` words the range failures; `enums` serves enumeration directives.
HRESULT ReadFormatted(IIoBuffer* buffer, IEnumFormatter* enums, IErrorReporter* reporter, std::string_view format,
                      FormatArgs& args);

enum class BlockHeaderSearch {
  Skip,    // drop whatever comes before the "#"
  Strict,  // the response must start with the "#"
};

// Reads one definite-length binary block into a new byte array. The header
// that is missing (strict) or never comes (skip) is reported as
// "Binary block header not found.".
HRESULT ReadBinaryBlock(IIoBuffer& buffer, IErrorReporter* reporter, BlockHeaderSearch search, SAFEARRAY** bytes);

}  // namespace hvzelta
