"""The enumerated values of the driver (``HVZELTA_VAL_*`` in ``hvzelta.h``).

Wherever the package takes one of these it also takes the plain number or the
member's name in either spelling: ``MeasurementType.VOLTAGE_AC``, ``1011``,
``"VOLTAGE_AC"`` and ``"VoltageAC"`` are the same value.
"""

import enum


class _Parsable(enum.IntEnum):
    @classmethod
    def coerce(cls, value):
        """The member for a member, a number or a name (case and "_" do not count)."""
        if isinstance(value, str):
            wanted = _fold(value)
            for member in cls:
                if _fold(member.name) == wanted:
                    return member
            names = ", ".join(member.name for member in cls)
            raise ValueError(f"{value!r} is not a {cls.__name__}; one of {names}")
        return cls(value)


def _fold(name):
    return name.replace("_", "").casefold()


class AmmeterItem(_Parsable):
    RMS = 0
    AVERAGE = 1
    PEAK = 2
    WATTAGE = 3


class Average(_Parsable):
    AVERAGE_1 = 1
    AVERAGE_2 = 2
    AVERAGE_4 = 4
    AVERAGE_8 = 8
    AVERAGE_16 = 16


class CouplingMode(_Parsable):
    AC = 1
    DC = 2
    ACDC = 3
    EXTERNAL_AC = 5
    EXTERNAL_DC = 6


class CurrentLimitBehavior(_Parsable):
    REGULATE = 0
    TRIP = 1


class HoldTime(_Parsable):
    SHORT = 0
    LONG = 1


class TriggerSource(_Parsable):
    IMMEDIATE = 0
    SW_TRIG_FUNC = 2


class OutputState(_Parsable):
    CONSTANT_VOLTAGE = 0
    OVER_VOLTAGE = 2
    OVER_CURRENT = 3
    UNREGULATED = 4
    DSP_ERROR = 1001
    OVER_TEMPERATURE = 1002
    OVER_POWER = 1003
    CURRENT_OVERLOAD = 1004
    POWER_OVERLOAD = 1005
    CURRENT_PK_OVERLOAD = 1006
    MEASURING = 2001
    WAITING_FOR_TRIGGER = 2002


class MeasurementType(_Parsable):
    """What an output's ``measure`` and ``fetch`` return."""

    CURRENT_DC = 0
    VOLTAGE_DC = 1
    POWER_DC = 2
    FREQUENCY = 3
    CURRENT_AC = 1001
    CURRENT_MAX = 1002
    CURRENT_MAX_HOLD = 1003
    CURRENT_CREST_FACTOR = 1004
    VOLTAGE_AC = 1011
    POWER_AC = 1021
    AC_APPARENT = 1022
    POWER_AC_REACTIVE = 1023
    AC_POWER_FACTOR = 1024


class PhaseMeasurement(_Parsable):
    """What an output phase's ``fetch_measurement`` returns (``HVZELTA_VAL_MEASURE_*``)."""

    VOLTAGE_RMS_LN = 0
    CURRENT_RMS = 1
    FREQUENCY = 2
    VOLTAGE_DC = 3
    CURRENT_DC = 4
    POWER_FACTOR = 5
    CREST_FACTOR = 6
    CURRENT_PEAK = 7
    POWER_VA = 8
    POWER_REAL = 9
    POWER_DC = 10
    PHASE_ANGLE = 11
    VOLTAGE_RMS_LL = 12
    CURRENT_OHD = 13
    CURRENT_EHD = 14
    CURRENT_THD = 15
    VOLTAGE_OHD = 16
    VOLTAGE_EHD = 17
    VOLTAGE_THD = 18


class PhaseMeasurementArray(_Parsable):
    """What an output phase's ``fetch_measurement_array`` returns."""

    CURRENT_HARMONIC_PHASE = 0
    CURRENT_HARMONIC_ABS = 1
    CURRENT_HARMONIC_PCT = 2
    VOLTAGE_HARMONIC_PHASE = 3
    VOLTAGE_HARMONIC_ABS = 4
    VOLTAGE_HARMONIC_PCT = 5
    CURRENT_CYCLE = 6
    VOLTAGE_CYCLE = 7


class MeasurementGroup(enum.IntFlag):
    """The groups ``Driver.initiate_measurement`` starts; combine them with ``|``."""

    BASE = 1
    HARMONIC = 2
    DISTORTION = 4
    WAVEFORM = 8


class DCGenerationMode(_Parsable):
    AC_ONLY = 0
    DC_ONLY = 1
    AC_DC = 2


class WaveformCatalog(_Parsable):
    FIXED = 0
    USER = 1
    ALL = 2
