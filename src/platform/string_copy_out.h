#pragma once

// The IVI-C rule for text handed back through a caller's ViChar buffer. A
// positive return is the buffer size (terminator included) that the whole
// text needs, and tells the caller the text was cut short or not written.

#include <string_view>

#include "hvzelta.h"

namespace hvzelta {

// Empty text: a lone NUL when there is room for it (returns 0), else 1.
// Otherwise, with L the text's length: a null buffer or a size of 0 gets
// nothing and L + 1; a negative size means "large enough" and gets the whole
// text; a size below L + 1 gets the first size - 1 bytes and a NUL and L + 1;
// any other size gets the whole text and 0.
ViStatus CopyStringOut(std::string_view text, ViChar* buffer, ViInt32 bufferSize);

}  // namespace hvzelta
