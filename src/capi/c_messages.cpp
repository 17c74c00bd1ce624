#include "capi/c_messages.h"

#include <algorithm>
#include <array>

namespace hvzelta::capi {

namespace {

struct CMessage {
  ViStatus code;
  const char* text;
};

// The C interface's texts. The object interface words the same failures in
// core/message_table.cpp; the two tables differ word for word on purpose, odd
// spellings included, because programs compare these exact texts. Keep the
// tables apart and correct no text in either.
constexpr std::array kCMessageTable = {
    CMessage{HVZELTA_ERROR_IO_GENERAL, "I/O error."},
    CMessage{HVZELTA_ERROR_IO_TIMEOUT, "I/O timeout error."},
    CMessage{HVZELTA_ERROR_MODEL_NOT_SUPPORTED, "Instrument model does not support this feature."},
    CMessage{HVZELTA_ERROR_CANNOT_RECOVER, "Failure cannot recover."},
    CMessage{HVZELTA_ERROR_INSTRUMENT_STATUS,
             "Instrument error detected.  Use ErrorQuery() to determine the error(s)."},
    CMessage{HVZELTA_ERROR_CANNOT_OPEN_FILE, "Cannot open file."},
    CMessage{HVZELTA_ERROR_READING_FILE, "Error reading file."},
    CMessage{HVZELTA_ERROR_WRITING_FILE, "Error writing file."},
    CMessage{HVZELTA_ERROR_INVALID_PATHNAME, "The pathname is invalid."},
    CMessage{HVZELTA_ERROR_INVALID_ATTRIBUTE, "Attribute ID '%1' not recognized."},
    CMessage{HVZELTA_ERROR_ATTR_NOT_WRITABLE, "Attribute '%1' is read-only."},
    CMessage{HVZELTA_ERROR_ATTR_NOT_READABLE, "Attribute '%1' is write-only."},
    CMessage{HVZELTA_ERROR_INVALID_VALUE, "Invalid value '%1' for function '%2', parameter '%3'."},
    CMessage{HVZELTA_ERROR_FUNCTION_NOT_SUPPORTED, "Does not support this class-compliant feature: function '%1'"},
    CMessage{HVZELTA_ERROR_ATTRIBUTE_NOT_SUPPORTED, "Does not support this class-compliant feature: attribute '%1'."},
    CMessage{HVZELTA_ERROR_VALUE_NOT_SUPPORTED,
             "Does not support this class-compliant feature:  Enumeration value '%1' passed as the value for "
             "parameter '%2' in function '%3'."},
    CMessage{HVZELTA_ERROR_TYPES_DO_NOT_MATCH, "%1Attribute%2 called for attribute '%3' of type '%4'."},
    CMessage{HVZELTA_ERROR_NOT_INITIALIZED, "A connection to the instrument has not been established."},
    CMessage{HVZELTA_ERROR_UNKNOWN_CHANNEL_NAME, "Unknown channel name."},
    CMessage{HVZELTA_ERROR_TOO_MANY_OPEN_FILES, "Too many files are open."},
    CMessage{HVZELTA_ERROR_CHANNEL_NAME_REQUIRED, "A channel name is required."},
    CMessage{HVZELTA_ERROR_MISSING_OPTION_NAME, "The option string is missing an option name."},
    CMessage{HVZELTA_ERROR_MISSING_OPTION_VALUE, "The option string is missing an option value."},
    CMessage{HVZELTA_ERROR_BAD_OPTION_NAME, "The '%1' name in the option string is unknown."},
    CMessage{HVZELTA_ERROR_BAD_OPTION_VALUE, "The '%1' value in the option string is unknown."},
    CMessage{HVZELTA_ERROR_OUT_OF_MEMORY, "Could not allocate necessary memory."},
    CMessage{HVZELTA_ERROR_OPERATION_PENDING, "Operation in progress."},
    CMessage{HVZELTA_ERROR_NULL_POINTER, "Null pointer passed for function '%1', parameter '%2'."},
    CMessage{HVZELTA_ERROR_UNEXPECTED_RESPONSE, "Unexpected response from instrument."},
    CMessage{HVZELTA_ERROR_FILE_NOT_FOUND, "File not found."},
    CMessage{HVZELTA_ERROR_INVALID_FILE_FORMAT, "Invalid file format."},
    CMessage{HVZELTA_ERROR_STATUS_NOT_AVAILABLE, "The instrument status is not available."},
    CMessage{HVZELTA_ERROR_ID_QUERY_FAILED, "Instrument ID query failed."},
    CMessage{HVZELTA_ERROR_RESET_FAILED, "Instrument reset failed."},
    CMessage{HVZELTA_ERROR_RESOURCE_UNKNOWN, "Unknown resource."},
    CMessage{HVZELTA_ERROR_ALREADY_INITIALIZED, "The driver is already initialized."},
    CMessage{HVZELTA_ERROR_CANNOT_CHANGE_SIMULATION_STATE, "The simulation state cannot be changed."},
    CMessage{HVZELTA_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR,
             "The number of levels in the selector is not valid for the '%1' repeated capability."},
    CMessage{HVZELTA_ERROR_INVALID_RANGE_IN_SELECTOR, "The range '%1' is not valid for the repeated capability '%2'."},
    CMessage{HVZELTA_ERROR_UNKNOWN_NAME_IN_SELECTOR, "Unknown name in selector."},
    CMessage{HVZELTA_ERROR_BADLY_FORMED_SELECTOR, "The repeated capability selector is badly-formed."},
    CMessage{HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, "Unknown physical repeated capability selector."},
    CMessage{HVZELTA_ERROR_INVALID_SESSION_HANDLE, "Invalid session handle."},
    CMessage{HVZELTA_ERROR_ALL_PHASES_NOT_SUPPORTED, "Cannot apply to AllPhases. Use specific output phase."},
    CMessage{HVZELTA_ERROR_UNSUPPORTED_MEASUREMENT_GROUP,
             "One or more of the requested measurement groups are not supported."},
    CMessage{HVZELTA_ERROR_MEASUREMENT_NOT_SUPPORTED,
             "Cannot fetch the requested measurement type because it is not supported."},
    CMessage{HVZELTA_ERROR_WAVEFORM_IN_USE, "The waveform is currently in use."},
    CMessage{HVZELTA_ERROR_WAVEFORM_RESERVED,
             "The waveform cannot be cleared because it is a vendor defined fixed waveform."},
    CMessage{HVZELTA_ERROR_WAVEFORM_NOT_FOUND,
             "The specified waveform name is not currently stored in the power source."},
    CMessage{HVZELTA_ERROR_DUPLICATE_WAVEFORM_NAME, "A waveform with the same name is already stored."},
    CMessage{HVZELTA_ERROR_NO_WAVEFORMS_AVAILABLE, "The waveform memory is full."},
    CMessage{HVZELTA_ERROR_INVALID_WAVEFORM_NAME, "The specified waveform name is invalid."},
    CMessage{HVZELTA_ERROR_ALL_PHASES_REQUIRED,
             "The power support does not allow settings output channels independently for this function or "
             "attribute. You must use the \"All Phases\" channel name."},
    CMessage{HVZELTA_ERROR_PHASE_VALUES_DIFFERENT,
             "Unable to return the requested value because all phases for that attribute are not presently the "
             "same."},
    CMessage{HVZELTA_ERROR_VOLTAGE_PROTECTION, "The power source voltage protection has tripped."},
    CMessage{HVZELTA_ERROR_CURRENT_PROTECTION, "The power source current protection has tripped."},
    CMessage{HVZELTA_ERROR_OUTPUT_ENABLED,
             "The power source output is presently enabled and the operation requires the output be disabled. Set "
             "the Output Enabled attribute to False then retry the operation"},
    CMessage{HVZELTA_ERROR_WAVEFORM_DC_OFFSET, "The waveform cannot be written because it contains a DC offset."},
    CMessage{VI_SUCCESS, "Success."},
    CMessage{HVZELTA_WARN_NSUP_ID_QUERY, "ID Query is not supported by this instrument."},
    CMessage{HVZELTA_WARN_NSUP_RESET, "Reset is not supported by this instrument."},
    CMessage{HVZELTA_WARN_NSUP_SELF_TEST, "Self test is not supported by this instrument."},
    CMessage{HVZELTA_WARN_NSUP_ERROR_QUERY, "Error query is not supported by this instrument."},
    CMessage{HVZELTA_WARN_NSUP_REV_QUERY, "Firmware revision query is not supported by this instrument."},
};

}  // namespace

const char* CMessageText(ViStatus code) {
  const auto it = std::find_if(kCMessageTable.begin(), kCMessageTable.end(),
                               [code](const CMessage& message) { return message.code == code; });
  return it == kCMessageTable.end() ? "" : it->text;
}

}  // namespace hvzelta::capi
