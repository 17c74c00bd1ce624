#pragma once

// viPrintf, viScanf, viQueryf and their variants, for the conversions that
// the VISA format language shares with C (d i o u x X f F e E g G a A c s,
// and [set] on reads, with flags, widths, precisions and the size letters
// hh h l ll L z j t): a write formats the whole text and sends it as one
// message with END; a read takes one whole message (up to END or the
// termination character) and converts from it. Directives of VISA alone
// (binary blocks %b %B %y, arrays with ",", "@" styles, "!o" byte orders,
// %t %T, "#" counts) give VI_ERROR_NSUP_FMT; %n and %p are refused as
// VI_ERROR_INV_FMT, as is an incomplete directive.

#include <cstdarg>

#include "visa/visa_library.h"

namespace hvzelta::visa {

enum class FormatDirection { Write, Read };

// VI_SUCCESS when every directive of `format` is one of those above.
ViStatus CheckFormat(const char* format, FormatDirection direction);

ViStatus FormattedWrite(IVisaLibrary& library, ViSession vi, const char* format, va_list params);
ViStatus FormattedWriteToBuffer(IVisaLibrary& library, ViSession vi, ViByte* buffer, const char* format,
                                va_list params);
ViStatus FormattedRead(IVisaLibrary& library, ViSession vi, const char* format, va_list params);
ViStatus FormattedReadFromBuffer(IVisaLibrary& library, ViSession vi, const ViByte* buffer, const char* format,
                                 va_list params);
ViStatus FormattedQuery(IVisaLibrary& library, ViSession vi, const char* writeFormat, const char* readFormat,
                        va_list params);

}  // namespace hvzelta::visa
