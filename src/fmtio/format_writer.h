#pragma once

#include <cstdint>
#include <string_view>

#include "fmtio/format_args.h"
#include "hvzelta/com/types.h"

namespace hvzelta {

class IIoBuffer;
class IEnumFormatter;
class IErrorReporter;

// The formatted write engine: cuts `format` and writes its literals and the
// arguments its directives take into `buffer`. A format that cannot be cut
// fails with E_UNEXPECTED before any byte is written; otherwise the first
// failing token ends the call and the bytes of earlier tokens stay written.
// `enums` is needed only by enumeration directives and may be null otherwise.
HRESULT WriteFormatted(IIoBuffer* buffer, IEnumFormatter* enums, std::string_view format, FormatArgs& args);

// Sends `count` bytes as a definite-length binary block: the header without
// flushing, then the data, the last byte with `flushWithEnd`. Bytes the
// buffer does not take are reported as an I/O error.
HRESULT WriteBinaryBlock(IIoBuffer& buffer, IErrorReporter* reporter, const std::uint8_t* data, std::int32_t count,
                         bool flushWithEnd);

}  // namespace hvzelta
