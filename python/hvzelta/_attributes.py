"""The attribute table of the C interface: one row per ``HVZELTA_ATTR_*``, from
the table the build generates from ``hvzelta.h``.

A row names the attribute as the header does (without ``HVZELTA_ATTR_``),
its identifier, value type, whether it can be written, what its channel name
selects and, for enumerated attributes, the enumeration. The driver and output
phase classes turn the rows into properties.
"""

import collections

from . import _header

STRING = "ViString"
DRIVER, OUTPUT, PHASE = "driver", "output", "output phase"

Attribute = collections.namedtuple("Attribute", "c_name id type writable scope enum")

# The enumeration of each enumerated attribute: the header ties them by comments only.
_ENUMERATIONS = {
    "OUTPUT_TRIGGER_SOURCE": _header.TriggerSource,
    "OUTPUT_TRIGGER_ACQUIRE_SOURCE": _header.TriggerSource,
    "OUTPUT_TRIGGER_TRANSIENT_SOURCE": _header.TriggerSource,
    "OUTPUT_AVERAGE": _header.Average,
    "DC_GENERATION_MODE": _header.DCGenerationMode,
}

ATTRIBUTES = tuple(Attribute(*row, _ENUMERATIONS.get(row[0])) for row in _header.ATTRIBUTES)

BY_ID = {attribute.id: attribute for attribute in ATTRIBUTES}


def python_name(attribute):
    """The property name: lower case, without the "OUTPUT_" of per-output attributes."""
    name = attribute.c_name.lower()
    return name.removeprefix("output_") if attribute.scope == OUTPUT else name
