"""The attribute table of the C interface: one row per ``HVZELTA_ATTR_*``, from
the table the build generates from ``hvzelta.h``.

A row names the attribute as the header does (without ``HVZELTA_ATTR_``),
its identifier, value type, whether it can be written, what its channel name
selects, for enumerated attributes the enumeration, and whether the instrument
has it. The driver and output phase classes turn the rows into properties.
"""

import collections

from . import _header

STRING = "ViString"
DRIVER, OUTPUT, PHASE = "driver", "output", "output phase"

Attribute = collections.namedtuple("Attribute", "c_name id type writable scope enum supported")

# The AC power class's attributes that no model of the instrument has commands
# for: with an instrument they fail with "not supported"; in simulation they
# keep the value set (read-only ones read 0).
_NOT_SUPPORTED_PREFIXES = ("ARB_", "EXTERNAL_SYNC_", "IMPEDANCE_", "CURRENT_PROTECTION_", "VOLTAGE_PROTECTION_",
                           "DC_GENERATION_", "DC_VOLTAGE_LEVEL")
_NOT_SUPPORTED_SUFFIX = "_RAMP_BUSY"


def _supported(c_name):
    return not (c_name.startswith(_NOT_SUPPORTED_PREFIXES) or c_name.endswith(_NOT_SUPPORTED_SUFFIX))


ATTRIBUTES = tuple(Attribute(*row, _supported(row[0])) for row in _header.ATTRIBUTES)

BY_ID = {attribute.id: attribute for attribute in ATTRIBUTES}


def python_name(attribute):
    """The property name: lower case, without the "OUTPUT_" of per-output attributes."""
    name = attribute.c_name.lower()
    return name.removeprefix("output_") if attribute.scope == OUTPUT else name
