"""Failures and warnings of the driver, with the codes of ``hvzelta.h``."""

import enum

_WARN_BASE = 0x3FFA0000
_ERROR_BASE = -0x80000000 + 0x3FFA0000
_CLASS_ERROR_BASE = _ERROR_BASE + 0x2000
_SPECIFIC_ERROR_BASE = _ERROR_BASE + 0x4000


class StatusCode(enum.IntEnum):
    """The status codes the C interface names (``HVZELTA_ERROR_*``, ``HVZELTA_WARN_*``)."""

    WARN_NSUP_ID_QUERY = _WARN_BASE + 0x65
    WARN_NSUP_RESET = _WARN_BASE + 0x66
    WARN_NSUP_SELF_TEST = _WARN_BASE + 0x67
    WARN_NSUP_ERROR_QUERY = _WARN_BASE + 0x68
    WARN_NSUP_REV_QUERY = _WARN_BASE + 0x69

    ERROR_CANNOT_RECOVER = _ERROR_BASE + 0x00
    ERROR_INSTRUMENT_STATUS = _ERROR_BASE + 0x01
    ERROR_CANNOT_OPEN_FILE = _ERROR_BASE + 0x02
    ERROR_READING_FILE = _ERROR_BASE + 0x03
    ERROR_WRITING_FILE = _ERROR_BASE + 0x04
    ERROR_INVALID_PATHNAME = _ERROR_BASE + 0x0B
    ERROR_INVALID_ATTRIBUTE = _ERROR_BASE + 0x0C
    ERROR_ATTR_NOT_WRITABLE = _ERROR_BASE + 0x0D
    ERROR_ATTR_NOT_READABLE = _ERROR_BASE + 0x0E
    ERROR_INVALID_VALUE = _ERROR_BASE + 0x10
    ERROR_FUNCTION_NOT_SUPPORTED = _ERROR_BASE + 0x11
    ERROR_ATTRIBUTE_NOT_SUPPORTED = _ERROR_BASE + 0x12
    ERROR_VALUE_NOT_SUPPORTED = _ERROR_BASE + 0x13
    ERROR_TYPES_DO_NOT_MATCH = _ERROR_BASE + 0x15
    ERROR_NOT_INITIALIZED = _ERROR_BASE + 0x1D
    ERROR_UNKNOWN_CHANNEL_NAME = _ERROR_BASE + 0x20
    ERROR_TOO_MANY_OPEN_FILES = _ERROR_BASE + 0x23
    ERROR_CHANNEL_NAME_REQUIRED = _ERROR_BASE + 0x44
    ERROR_MISSING_OPTION_NAME = _ERROR_BASE + 0x49
    ERROR_MISSING_OPTION_VALUE = _ERROR_BASE + 0x4A
    ERROR_BAD_OPTION_NAME = _ERROR_BASE + 0x4B
    ERROR_BAD_OPTION_VALUE = _ERROR_BASE + 0x4C
    ERROR_OUT_OF_MEMORY = _ERROR_BASE + 0x56
    ERROR_OPERATION_PENDING = _ERROR_BASE + 0x57
    ERROR_NULL_POINTER = _ERROR_BASE + 0x58
    ERROR_UNEXPECTED_RESPONSE = _ERROR_BASE + 0x59
    ERROR_FILE_NOT_FOUND = _ERROR_BASE + 0x5B
    ERROR_INVALID_FILE_FORMAT = _ERROR_BASE + 0x5C
    ERROR_STATUS_NOT_AVAILABLE = _ERROR_BASE + 0x5D
    ERROR_ID_QUERY_FAILED = _ERROR_BASE + 0x5E
    ERROR_RESET_FAILED = _ERROR_BASE + 0x5F
    ERROR_RESOURCE_UNKNOWN = _ERROR_BASE + 0x60
    ERROR_ALREADY_INITIALIZED = _ERROR_BASE + 0x61
    ERROR_CANNOT_CHANGE_SIMULATION_STATE = _ERROR_BASE + 0x62
    ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR = _ERROR_BASE + 0x63
    ERROR_INVALID_RANGE_IN_SELECTOR = _ERROR_BASE + 0x64
    ERROR_UNKNOWN_NAME_IN_SELECTOR = _ERROR_BASE + 0x65
    ERROR_BADLY_FORMED_SELECTOR = _ERROR_BASE + 0x66
    ERROR_UNKNOWN_PHYSICAL_IDENTIFIER = _ERROR_BASE + 0x67
    ERROR_INVALID_SESSION_HANDLE = _ERROR_BASE + 0x1190

    ERROR_ALL_PHASES_NOT_SUPPORTED = _CLASS_ERROR_BASE + 0x01
    ERROR_UNSUPPORTED_MEASUREMENT_GROUP = _CLASS_ERROR_BASE + 0x02
    ERROR_MEASUREMENT_NOT_SUPPORTED = _CLASS_ERROR_BASE + 0x03
    ERROR_WAVEFORM_IN_USE = _CLASS_ERROR_BASE + 0x04
    ERROR_WAVEFORM_RESERVED = _CLASS_ERROR_BASE + 0x05
    ERROR_WAVEFORM_NOT_FOUND = _CLASS_ERROR_BASE + 0x06
    ERROR_DUPLICATE_WAVEFORM_NAME = _CLASS_ERROR_BASE + 0x07
    ERROR_NO_WAVEFORMS_AVAILABLE = _CLASS_ERROR_BASE + 0x08
    ERROR_INVALID_WAVEFORM_NAME = _CLASS_ERROR_BASE + 0x09
    ERROR_ALL_PHASES_REQUIRED = _CLASS_ERROR_BASE + 0x0A
    ERROR_PHASE_VALUES_DIFFERENT = _CLASS_ERROR_BASE + 0x0B
    ERROR_VOLTAGE_PROTECTION = _CLASS_ERROR_BASE + 0x0C
    ERROR_CURRENT_PROTECTION = _CLASS_ERROR_BASE + 0x0D
    ERROR_OUTPUT_ENABLED = _CLASS_ERROR_BASE + 0x0E
    ERROR_WAVEFORM_DC_OFFSET = _CLASS_ERROR_BASE + 0x0F

    ERROR_IO_GENERAL = _SPECIFIC_ERROR_BASE + 0x214
    ERROR_IO_TIMEOUT = _SPECIFIC_ERROR_BASE + 0x215
    ERROR_MODEL_NOT_SUPPORTED = _SPECIFIC_ERROR_BASE + 0x216

    ERROR_INVALID_ARGUMENT = -0x80000000 + 0x00070057
    ERROR_UNEXPECTED = -0x80000000 + 0x0000FFFF


def _describe_code(code):
    try:
        name = StatusCode(code).name
    except ValueError:
        return f"0x{code & 0xFFFFFFFF:08X}"
    return f"0x{code & 0xFFFFFFFF:08X} {name}"


class _StatusReport:
    """The status of one C function call and the driver's description of it."""

    def __init__(self, code, description, function):
        super().__init__(code, description, function)
        self.code = code
        self.description = description
        self.function = function

    def __str__(self):
        return f"{self.description} ({self.function}: {_describe_code(self.code)})"


class DriverError(_StatusReport, Exception):
    """A C function of the driver failed.

    ``code`` is the negative ``ViStatus`` (compare it with :class:`StatusCode`),
    ``description`` the driver's own text for this failure, ``function`` the
    C function that reported it.
    """


class DriverWarning(_StatusReport, UserWarning):
    """A C function succeeded with a warning status (a positive ``ViStatus``).

    Issued through :mod:`warnings`, so it is printed once per place by default
    and can be made an error with ``warnings.simplefilter("error", DriverWarning)``.
    """


class LibraryNotFoundError(ImportError):
    """libhvzelta.so could be found nowhere the package looks for it."""
