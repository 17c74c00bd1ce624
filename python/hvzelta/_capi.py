"""The C interface of libhvzelta as ctypes declarations, made from the table
the build generates from ``hvzelta.h`` (``_header.FUNCTIONS``), so that ctypes
converts and checks each argument the way the C compiler would. Every function
returns a ``ViStatus``.
"""

import ctypes
import re
from ctypes import POINTER, c_char, c_char_p, c_double, c_int16, c_int32, c_int64, c_uint16, c_uint32
from typing import Any, Dict, Tuple

from ._header import FUNCTIONS

# The VISA types with the widths of visatype.h on 64-bit Linux.
ViStatus = c_int32
ViSession = c_uint32
ViAttr = c_uint32
ViInt16 = c_int16
ViInt32 = c_int32
ViInt64 = c_int64
ViReal64 = c_double
ViBoolean = c_uint16
ViConstString = c_char_p

_SCALARS: Dict[str, Any] = {
    "ViStatus": ViStatus, "ViSession": ViSession, "ViAttr": ViAttr, "ViInt16": ViInt16, "ViInt32": ViInt32,
    "ViInt64": ViInt64, "ViReal64": ViReal64, "ViBoolean": ViBoolean,
    # Text and bytes the caller hands in (NUL-terminated, or sized by a count).
    "ViConstString": ViConstString, "ViConstRsrc": ViConstString, "ViConstBuf": ViConstString,
}
# Storage the function writes into: an array made by the caller.
_ARRAYS: Dict[str, Any] = {"ViChar": POINTER(c_char), "ViByte": POINTER(c_char), "ViReal64": POINTER(c_double)}

# The value types of hvzelta_GetAttribute<Type>/hvzelta_SetAttribute<Type>.
ATTRIBUTE_VALUE_TYPES = {name: _SCALARS[name] for name in ("ViInt32", "ViReal64", "ViBoolean", "ViSession")}
ATTRIBUTE_VALUE_TYPES["ViString"] = ViConstString


def ctype(c_type: str) -> Any:
    """The ctypes type of a parameter's C type as the table spells it ("ViInt32*", "ViChar[]")."""
    if c_type.endswith("[]"):
        return _ARRAYS[c_type[:-2]]
    if c_type.endswith("*"):
        return POINTER(_SCALARS[c_type[:-1]])
    return _SCALARS[c_type]


def _snake_case(name: str) -> str:
    return re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "_", name).lower()


def parameter_name(function: str, position: int) -> str:
    """The Python spelling of parameter `position` (from 1) of hvzelta_<function>."""
    return _snake_case(FUNCTIONS[function][position - 1][0])


# What a caller passes for a C type, in Python's words.
_PYTHON_TYPES = {"ViReal64": "a number", "ViBoolean": "a bool", "ViConstString": "a str", "ViConstRsrc": "a str",
                 "ViConstBuf": "bytes"}


def python_type(function: str, position: int) -> str:
    """What parameter `position` (from 1) of hvzelta_<function> takes, in Python's words."""
    c_type = FUNCTIONS[function][position - 1][1]
    return _PYTHON_TYPES.get(c_type, "an int" if c_type in _SCALARS else "a ctypes array or pointer")


def output_property_types() -> Dict[str, Any]:
    """The output properties: each <Name> with hvzelta_Get<Name> and hvzelta_Set<Name>
    taking the session, a channel name and the value (or a pointer to it)."""
    found = {}
    for name, parameters in FUNCTIONS.items():
        if not name.startswith("Set") or name.startswith("SetAttribute") or len(parameters) != 3:
            continue
        value_type = parameters[2][1]
        getter = FUNCTIONS.get("Get" + name[3:])
        if getter and len(getter) == 3 and getter[2][1] == value_type + "*":
            found[name[3:]] = _SCALARS[value_type]
    return found


def signatures() -> Dict[str, Tuple[Any, ...]]:
    """Function name without the "hvzelta_" prefix -> ctypes parameter types."""
    return {name: tuple(ctype(c_type) for _, c_type in parameters) for name, parameters in FUNCTIONS.items()}


def declare(library: ctypes.CDLL) -> ctypes.CDLL:
    """Gives each C function of ``library`` its parameter and result types."""
    for name, parameters in signatures().items():
        function = getattr(library, "hvzelta_" + name)
        function.argtypes = parameters
        function.restype = ViStatus
    return library
