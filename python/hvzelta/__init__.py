"""hvzelta: the driver of the ZTA100/ZTA200/ZTA300/ZTA400 AC power sources.

    import hvzelta
    with hvzelta.Driver("TCPIP::192.0.2.7::5025::SOCKET", id_query=True, reset=True) as drv:
        drv.output.voltage_level = 230
        drv.output.enabled = True
        print(drv.output.measure(hvzelta.MeasurementType.VOLTAGE_AC))

Without an instrument, ``with hvzelta.Emulator(model="ZTA200") as sim:`` runs the
emulator and ``hvzelta.Driver(sim.resource)`` drives it.

``hvzelta.log_to_screen()`` (or the logger "hvzelta" at DEBUG) shows every
message sessions opened afterwards exchange with the instrument.

The package calls libhvzelta.so through ctypes. It looks for the library in
the environment variable HVZELTA_LIBRARY, then where the build or the
installation put it beside this package, then on the system's library path.
"""

from ._header import (AmmeterItem, Average, CouplingMode, CurrentLimitBehavior, DCGenerationMode, HoldTime,
                      MeasurementGroup, MeasurementType, OutputState, PhaseMeasurement, PhaseMeasurementArray,
                      StatusCode, TriggerSource, WaveformCatalog)
from ._header import VERSION as __version__
from ._io_log import log_to_screen
from .driver import Driver, Output, OutputPhase
from .emulator import Emulator
from .errors import DriverError, DriverWarning, LibraryNotFoundError
from .resources import list_resources

__all__ = [
    "AmmeterItem", "Average", "CouplingMode", "CurrentLimitBehavior", "DCGenerationMode", "Driver", "DriverError",
    "DriverWarning", "Emulator", "HoldTime", "LibraryNotFoundError", "MeasurementGroup", "MeasurementType", "Output",
    "OutputPhase", "OutputState", "PhaseMeasurement", "PhaseMeasurementArray", "StatusCode", "TriggerSource",
    "WaveformCatalog", "__version__", "list_resources", "log_to_screen",
]
