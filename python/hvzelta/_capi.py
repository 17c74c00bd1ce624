"""The C interface of libhvzelta as ctypes declarations.

Every ``hvzelta_*`` function of ``hvzelta.h`` is declared here from one table
of parameter types, so that ctypes converts and checks each argument the way
the C compiler would. Every function returns a ``ViStatus``.
"""

from ctypes import POINTER, c_char, c_char_p, c_double, c_int16, c_int32, c_int64, c_uint16, c_uint32

# The VISA types with the widths of visatype.h on 64-bit Linux.
ViStatus = c_int32
ViSession = c_uint32
ViAttr = c_uint32
ViInt16 = c_int16
ViInt32 = c_int32
ViInt64 = c_int64
ViReal64 = c_double
ViBoolean = c_uint16
# Text and bytes the caller hands in (NUL-terminated, or sized by a count).
ViConstString = c_char_p
ViConstBuf = c_char_p
# Storage the function writes into: a char array made by the caller.
ViCharBuffer = POINTER(c_char)
ViReal64Array = POINTER(c_double)

P = POINTER

# The output properties: hvzelta_Get<Name> and hvzelta_Set<Name> take the
# session, a channel name and the value (or a pointer to it).
OUTPUT_PROPERTY_TYPES = {
    "AmmeterItem": ViInt32,
    "Average": ViInt32,
    "AverageEnabled": ViBoolean,
    "ContinuousMeasurement": ViBoolean,
    "CouplingMode": ViInt32,
    "CurrentLimit": ViReal64,
    "CurrentLimitBehavior": ViInt32,
    "CurrentOffset": ViReal64,
    "Enabled": ViBoolean,
    "Frequency": ViReal64,
    "HoldTime": ViInt32,
    "SyncEnabled": ViBoolean,
    "SyncPhase": ViReal64,
    "TriggerAcquireSource": ViInt32,
    "TriggerSource": ViInt32,
    "TriggerTransientSource": ViInt32,
    "TriggeredFrequency": ViReal64,
    "TriggeredVoltageLevel": ViReal64,
    "TriggeredVoltageOffset": ViReal64,
    "VoltageLevel": ViReal64,
    "VoltageOffset": ViReal64,
    "VoltageRange": ViReal64,
}

# The typed attribute accessors; the string getter also takes a buffer size.
ATTRIBUTE_VALUE_TYPES = {
    "ViInt32": ViInt32,
    "ViReal64": ViReal64,
    "ViBoolean": ViBoolean,
    "ViSession": ViSession,
    "ViString": ViConstString,
}

_INHERENT = {
    "init": (ViConstString, ViBoolean, ViBoolean, P(ViSession)),
    "InitWithOptions": (ViConstString, ViBoolean, ViBoolean, ViConstString, P(ViSession)),
    "close": (ViSession,),
    "reset": (ViSession,),
    "ResetWithDefaults": (ViSession,),
    "Disable": (ViSession,),
    "self_test": (ViSession, P(ViInt16), ViCharBuffer),
    "error_query": (ViSession, P(ViInt32), ViCharBuffer),
    "revision_query": (ViSession, ViCharBuffer, ViCharBuffer),
    "error_message": (ViSession, ViStatus, ViCharBuffer),
    "GetError": (ViSession, P(ViStatus), ViInt32, ViCharBuffer),
    "ClearError": (ViSession,),
    "LockSession": (ViSession, P(ViBoolean)),
    "UnlockSession": (ViSession, P(ViBoolean)),
    "InvalidateAllAttributes": (ViSession,),
    "ClearInterchangeWarnings": (ViSession,),
    "ResetInterchangeCheck": (ViSession,),
    "GetNextCoercionRecord": (ViSession, ViInt32, ViCharBuffer),
    "GetNextInterchangeWarning": (ViSession, ViInt32, ViCharBuffer),
}

_ATTRIBUTES = {}
for _suffix, _type in ATTRIBUTE_VALUE_TYPES.items():
    _ATTRIBUTES["SetAttribute" + _suffix] = (ViSession, ViConstString, ViAttr, _type)
    _ATTRIBUTES["GetAttribute" + _suffix] = (ViSession, ViConstString, ViAttr, P(_type))
_ATTRIBUTES["GetAttributeViString"] = (ViSession, ViConstString, ViAttr, ViInt32, ViCharBuffer)

_OUTPUT_PROPERTIES = {}
for _name, _type in OUTPUT_PROPERTY_TYPES.items():
    _OUTPUT_PROPERTIES["Get" + _name] = (ViSession, ViConstString, P(_type))
    _OUTPUT_PROPERTIES["Set" + _name] = (ViSession, ViConstString, _type)

# Output operations: the last parameter receives the VISA status of the exchange.
_MIN_MAX = (ViSession, ViConstString, P(ViReal64), P(ViReal64), P(ViInt32))
_OUTPUT_OPERATIONS = {
    "CanMeasure": (ViSession, ViConstString, ViInt32, ViInt32, P(ViBoolean), P(ViInt32)),
    "Fetch": (ViSession, ViConstString, ViInt32, P(ViReal64), P(ViInt32)),
    "Measure": (ViSession, ViConstString, ViInt32, P(ViReal64), P(ViInt32)),
    "InitiateMeasurement2": (ViSession, ViConstString, P(ViInt32)),
    "QueryCurrentLimitMinMax2": _MIN_MAX,
    "QueryCurrentOffsetMinMax": _MIN_MAX,
    "QueryFrequencyMinMax": _MIN_MAX,
    "QueryVoltageLevelMinMax": _MIN_MAX,
    "QueryVoltageOffsetMinMax": _MIN_MAX,
    "QueryState": (ViSession, ViConstString, ViInt32, P(ViBoolean), P(ViInt32)),
    "ResetOutputProtection": (ViSession, ViConstString, P(ViInt32)),
    "ResetCurrentMaxHold2": (ViSession, ViConstString, P(ViInt32)),
}

_PHASE = {
    "ConfigureVoltageLevel": (ViSession, ViConstString, ViReal64),
    "ConfigureVoltageRange": (ViSession, ViConstString, ViReal64),
    "ConfigureCurrentLimit": (ViSession, ViConstString, ViReal64),
    "ConfigureOutputEnabled": (ViSession, ViConstString, ViBoolean),
    "ConfigurePhaseAngle": (ViSession, ViConstString, ViReal64),
    "ConfigureWaveform": (ViSession, ViConstString, ViConstString),
    "RampVoltage": (ViSession, ViConstString, ViReal64, ViReal64, ViReal64),
    "RampCurrent": (ViSession, ViConstString, ViReal64, ViReal64, ViReal64),
    "AbortVoltageRamp": (ViSession, ViConstString),
    "AbortCurrentRamp": (ViSession, ViConstString),
    "QueryVoltageRampBusy": (ViSession, ViConstString, P(ViBoolean)),
    "QueryCurrentRampBusy": (ViSession, ViConstString, P(ViBoolean)),
    "QueryVoltageRangeCapabilities": (ViSession, ViConstString, ViInt32, ViConstString, P(ViReal64), P(ViReal64)),
    "FetchMeasurement": (ViSession, ViConstString, ViInt32, P(ViReal64)),
    "FetchMeasurementArray": (ViSession, ViConstString, ViInt32, ViInt32, ViReal64Array, P(ViInt32)),
    "ConfigureCurrentProtection": (ViSession, ViConstString, ViBoolean, ViReal64, ViReal64),
    "ResetCurrentProtection": (ViSession, ViConstString),
    "QueryCurrentProtectionTripped": (ViSession, ViConstString, P(ViBoolean)),
    "ConfigureVoltageProtection": (ViSession, ViConstString, ViBoolean, ViBoolean, ViReal64, ViReal64),
    "ResetVoltageProtection": (ViSession, ViConstString),
    "QueryVoltageProtectionTripped": (ViSession, ViConstString, P(ViBoolean)),
    "ConfigureOutputImpedance": (ViSession, ViConstString, ViBoolean, ViReal64, ViReal64),
    "QueryOutputImpedanceCapabilities": (
        ViSession, ViConstString, P(ViReal64), P(ViReal64), P(ViReal64), P(ViReal64)),
    "ConfigureDC": (ViSession, ViConstString, ViInt32, ViReal64),
    "ConfigureDCRange": (ViSession, ViConstString, ViReal64, ViReal64),
    "QueryDCCapabilities": (ViSession, ViConstString, ViInt32, P(ViReal64), P(ViReal64)),
}

_INSTRUMENT = {
    "ConfigureFrequency": (ViSession, ViReal64),
    "ConfigureFrequencyRange": (ViSession, ViReal64),
    "QueryFrequencyRangeCapabilities": (ViSession, ViInt32, P(ViReal64), P(ViReal64)),
    "RampFrequency": (ViSession, ViReal64, ViReal64, ViReal64),
    "AbortFrequencyRamp": (ViSession,),
    "QueryFrequencyRampBusy": (ViSession, P(ViBoolean)),
    "InitiateMeasurement": (ViSession, ViInt32),
    "GetOutputPhaseName": (ViSession, ViInt32, ViInt32, ViCharBuffer),
    "GetOutputName": (ViSession, ViInt32, ViInt32, ViCharBuffer),
    "ClearArbWaveform": (ViSession, ViConstString),
    "QueryArbWaveformCatalog": (ViSession, ViInt32, ViInt32, ViCharBuffer),
    "WriteArbWaveform": (ViSession, ViConstString, ViInt32, ViReal64Array),
    "ConfigureExternalSync": (ViSession, ViBoolean, ViReal64),
    "QueryExternalSyncLocked": (ViSession, P(ViBoolean)),
    "Abort": (ViSession, P(ViInt32)),
    "Initiate": (ViSession, P(ViInt32)),
    "SendSoftwareTrigger": (ViSession, P(ViInt32)),
    "Recall": (ViSession, ViInt32),
    "Store": (ViSession, ViInt32),
    "viWrite": (ViSession, ViInt64, ViConstBuf, P(ViInt64)),
    "viRead": (ViSession, ViInt64, ViCharBuffer, P(ViInt64)),
}

# Function name without the "hvzelta_" prefix -> parameter types.
SIGNATURES = {**_INHERENT, **_ATTRIBUTES, **_OUTPUT_PROPERTIES, **_OUTPUT_OPERATIONS, **_PHASE, **_INSTRUMENT}


def declare(library):
    """Gives each C function of ``library`` its parameter and result types."""
    for name, parameters in SIGNATURES.items():
        function = getattr(library, "hvzelta_" + name)
        function.argtypes = parameters
        function.restype = ViStatus
    return library
