#pragma once

// How the C functions turn failures into C status codes with descriptions
// stored in the session (or, for session 0, for the calling thread).

#include <initializer_list>

#include "hvzelta.h"
#include "hvzelta/com/types.h"

namespace hvzelta::capi {

// Stores `code` with `text` (may be null) and returns `code`, whatever the
// storing said.
ViStatus SetSessionError(ViSession vi, ViStatus code, const char* text) noexcept;

// The C status code of an object-interface result: the mapped code where one
// exists, else the result itself.
ViStatus MapDriverStatus(HRESULT result);

// 0 for success, touching nothing. Otherwise the mapped code, stored with the
// description the failing (or warning) member left for the calling thread,
// when it left one.
ViStatus ConvertDriverStatus(ViSession vi, HRESULT result);

// A null output pointer: HVZELTA_ERROR_NULL_POINTER with the text
// "Parameter <name> is VI_NULL.".
ViStatus ReportNullParameter(ViSession vi, const char* name) noexcept;

struct NamedOutput {
  const char* name;
  const void* pointer;
};
// The report of the first null output, in parameter order; 0 when none is null.
ViStatus CheckOutputs(ViSession vi, std::initializer_list<NamedOutput> outputs) noexcept;

}  // namespace hvzelta::capi
