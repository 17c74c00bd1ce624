#include "capi/session_errors.h"

#include <algorithm>
#include <array>
#include <string>

#include "hvzelta/com/error_info.h"
#include "hvzelta/status.h"
#include "platform/ivi_session.h"
#include "platform/text.h"

namespace hvzelta::capi {

namespace {

// Codes first..last map to cFirst onwards, in step.
struct StatusRow {
  HRESULT first;
  HRESULT last;
  ViStatus cFirst;
};

constexpr StatusRow Single(HRESULT result, ViStatus code) { return {result, result, code}; }

// The class codes of the object interface are numbered in another order than
// the C ones, and two of them share a C code.
constexpr std::array kDriverStatusMap = {
    StatusRow{E_HALVORNZELTA_IO_GENERAL, E_HALVORNZELTA_MODEL_NOT_SUPPORTED, HVZELTA_ERROR_IO_GENERAL},
    StatusRow{E_IVI_CANNOT_RECOVER, E_IVI_WRITING_FILE, HVZELTA_ERROR_CANNOT_RECOVER},
    Single(E_IVI_INVALID_PATHNAME, HVZELTA_ERROR_INVALID_PATHNAME),
    StatusRow{E_IVI_INVALID_VALUE, E_IVI_VALUE_NOT_SUPPORTED, HVZELTA_ERROR_INVALID_VALUE},
    Single(E_IVI_NOT_INITIALIZED, HVZELTA_ERROR_NOT_INITIALIZED),
    Single(E_IVI_UNKNOWN_CHANNEL_NAME, HVZELTA_ERROR_UNKNOWN_CHANNEL_NAME),
    Single(E_IVI_TOO_MANY_OPEN_FILES, HVZELTA_ERROR_TOO_MANY_OPEN_FILES),
    Single(E_IVI_CHANNEL_NAME_REQUIRED, HVZELTA_ERROR_CHANNEL_NAME_REQUIRED),
    StatusRow{E_IVI_MISSING_OPTION_NAME, E_IVI_BAD_OPTION_VALUE, HVZELTA_ERROR_MISSING_OPTION_NAME},
    StatusRow{E_IVI_OUT_OF_MEMORY, E_IVI_UNEXPECTED_RESPONSE, HVZELTA_ERROR_OUT_OF_MEMORY},
    StatusRow{E_IVI_FILE_NOT_FOUND, E_IVI_UNKNOWN_PHYSICAL_IDENTIFIER, HVZELTA_ERROR_FILE_NOT_FOUND},
    Single(E_IVIACPWR_MEASUREMENT_NOT_INITIATED, HVZELTA_ERROR_ALL_PHASES_NOT_SUPPORTED),
    Single(E_IVIACPWR_UNSUPPORTED_MEASUREMENT_GROUP, HVZELTA_ERROR_UNSUPPORTED_MEASUREMENT_GROUP),
    Single(E_IVIACPWR_MEASUREMENT_NOT_SUPPORTED, HVZELTA_ERROR_MEASUREMENT_NOT_SUPPORTED),
    Single(E_IVIACPWR_WAVEFORM_IN_USE, HVZELTA_ERROR_WAVEFORM_IN_USE),
    Single(E_IVIACPWR_WAVEFORM_RESERVED, HVZELTA_ERROR_WAVEFORM_RESERVED),
    Single(E_IVIACPWR_WAVEFORM_NOT_FOUND, HVZELTA_ERROR_WAVEFORM_NOT_FOUND),
    Single(E_IVIACPWR_DUPLICATE_WAVEFORM_NAME, HVZELTA_ERROR_DUPLICATE_WAVEFORM_NAME),
    Single(E_IVIACPWR_NO_WAVEFORMS_AVAILABLE, HVZELTA_ERROR_NO_WAVEFORMS_AVAILABLE),
    Single(E_IVIACPWR_INVALID_WAVEFORM_NAME, HVZELTA_ERROR_INVALID_WAVEFORM_NAME),
    Single(E_IVIACPWR_ALL_PHASES_REQUIRED, HVZELTA_ERROR_ALL_PHASES_REQUIRED),
    Single(E_IVIACPWR_PHASE_VALUES_DIFFERENT, HVZELTA_ERROR_PHASE_VALUES_DIFFERENT),
    Single(E_IVIACPWR_VOLTAGE_PROTECTION, HVZELTA_ERROR_VOLTAGE_PROTECTION),
    Single(E_IVIACPWR_CURRENT_PROTECTION, HVZELTA_ERROR_CURRENT_PROTECTION),
    Single(E_IVIACPWR_OUTPUT_ENABLED, HVZELTA_ERROR_OUTPUT_ENABLED),
    Single(E_IVIACPWR_WAVEFORM_DC_OFFSET, HVZELTA_ERROR_WAVEFORM_DC_OFFSET),
    Single(E_IVIACPWR_ALL_PHASES_NOT_SUPPORTED, HVZELTA_ERROR_ALL_PHASES_NOT_SUPPORTED),
    StatusRow{S_IVI_NSUP_ID_QUERY, S_IVI_NSUP_REV_QUERY, HVZELTA_WARN_NSUP_ID_QUERY},
};

}  // namespace

ViStatus SetSessionError(ViSession vi, ViStatus code, const char* text) noexcept {
  IviSession_SetError(vi, code, text);
  return code;
}

ViStatus MapDriverStatus(HRESULT result) {
  const auto it = std::find_if(kDriverStatusMap.begin(), kDriverStatusMap.end(),
                               [result](const StatusRow& row) { return result >= row.first && result <= row.last; });
  return it == kDriverStatusMap.end() ? result : it->cFirst + (result - it->first);
}

ViStatus ConvertDriverStatus(ViSession vi, HRESULT result) {
  if (result == S_OK) return VI_SUCCESS;
  const ViStatus code = MapDriverStatus(result);
  // Only the driver's own description is stored: a failure without one
  // leaves the session's error as it was.
  if (ErrorInfo info; GetErrorInfo(info)) SetSessionError(vi, code, WideToUtf8(info.description).c_str());
  return code;
}

ViStatus ReportNullParameter(ViSession vi, const char* name) noexcept {
  try {
    const std::string text = std::string("Parameter ") + name + " is VI_NULL.";
    return SetSessionError(vi, HVZELTA_ERROR_NULL_POINTER, text.c_str());
  } catch (...) {
    return SetSessionError(vi, HVZELTA_ERROR_NULL_POINTER, nullptr);
  }
}

ViStatus CheckOutputs(ViSession vi, std::initializer_list<NamedOutput> outputs) noexcept {
  for (const NamedOutput& output : outputs) {
    if (!output.pointer) return ReportNullParameter(vi, output.name);
  }
  return VI_SUCCESS;
}

}  // namespace hvzelta::capi
