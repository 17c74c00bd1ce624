#pragma once

// viPrintf, viScanf, viQueryf and their variants, run by the driver's own
// formatted I/O engine (src/fmtio). The engine cuts the format; the
// arguments of a C call are then taken from the va_list in the order and
// with the types its directives ask for, and handed to the engine as its
// tagged argument list. A write formats the whole text and sends it as one
// message with END; a read takes one whole message (up to END or the
// termination character) and converts from it.
//
// Formats the engine does not cut give VI_ERROR_NSUP_FMT when the failing
// directive names a conversion of the VISA language (%X, %lld, %!olb, ...)
// and VI_ERROR_INV_FMT otherwise (%n, %p, a directive cut short). Directives
// the engine knows but a C caller cannot feed (enumeration names, array
// objects, "$B"/"$C" text types, string arrays on read) give
// VI_ERROR_NSUP_FMT; arrays and blocks without a count VI_ERROR_INV_FMT.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fmtio/directive.h"
#include "fmtio/format_args.h"
#include "visa/visa_library.h"

namespace hvzelta::visa {

// What one argument of a C call is, as a format's directives take it.
struct ArgumentSlot {
  enum class Type : std::uint8_t {
    Int,         // int (also char and short, promoted)
    Long,        // long
    LongLong,    // long long
    Double,      // double (also float, promoted)
    LongDouble,  // long double
    Elements,    // a pointer to elements to write; a C string
    Destination, // a pointer where a read stores
    LongDestination,        // long*: the engine stores 32 bits, widened after
    LongDoubleDestination,  // long double*: the engine stores a double
  };
  Type type = Type::Int;
  ElementType element = ElementType::None;
  // A character buffer read without a width: bounded by the message, as
  // C's unbounded "%s" is by its input.
  bool boundedByMessage = false;
};

// The arguments `format` takes, in order, or the status that refuses it.
ViStatus PlanArguments(const char* format, Direction direction, std::vector<ArgumentSlot>& slots);

ViStatus FormattedWrite(IVisaLibrary& library, ViSession vi, const char* format, va_list params);
ViStatus FormattedWriteToBuffer(IVisaLibrary& library, ViSession vi, ViByte* buffer, const char* format,
                                va_list params);
ViStatus FormattedRead(IVisaLibrary& library, ViSession vi, const char* format, va_list params);
ViStatus FormattedReadFromBuffer(IVisaLibrary& library, ViSession vi, const ViByte* buffer, const char* format,
                                 va_list params);
ViStatus FormattedQuery(IVisaLibrary& library, ViSession vi, const char* writeFormat, const char* readFormat,
                        va_list params);

// Converts `message`, which `terminator` may end, with a read format,
// taking the destinations from `params` (viSScanf's path, also the fuzz
// target's).
ViStatus ScanMessage(std::string_view message, int terminator, const char* format, va_list params);

}  // namespace hvzelta::visa
