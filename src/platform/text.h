#pragma once

// Conversions between the object interface's wide text and the driver's
// narrow text (UTF-8, the process code page). Malformed input never fails:
// an invalid UTF-8 sequence becomes U+FFFD and an invalid code point in wide
// text is written as U+FFFD too, so text from an instrument can always be
// shown to the caller.

#include <string>
#include <string_view>

namespace hvzelta {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// The text with white space (space, tab, CR, LF, VT, FF) removed from both ends.
bool IsWhiteSpaceChar(char c);
std::string_view TrimWhiteSpace(std::string_view text);
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace hvzelta
