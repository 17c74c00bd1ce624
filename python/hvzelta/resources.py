"""Finding instruments: :func:`list_resources`, through libhvzvisa.so, the VISA
library installed beside the driver's own library."""

import ctypes
import ctypes.util
import os
from typing import List

from . import _library
from .errors import DriverError, LibraryNotFoundError

VISA_LIBRARY_ENVIRONMENT_VARIABLE = "HVZVISA_LIBRARY"

_VI_ERROR_INV_EXPR = -1073807344
_VI_ERROR_RSRC_NFOUND = -1073807343
_VI_ERROR_NSUP_OPER = -1073807257
_FIND_BUFLEN = 256


def _visa_library():
    """libhvzvisa.so: the one HVZVISA_LIBRARY names, else the one beside
    libhvzelta.so, else the one on the system's library path."""
    named = os.environ.get(VISA_LIBRARY_ENVIRONMENT_VARIABLE)
    found = [named] if named else []
    if not named:
        found += [os.path.join(os.path.dirname(path), "libhvzvisa.so.1")
                  for path in _library.candidates() if os.path.sep in path]
        found += [ctypes.util.find_library("hvzvisa")] if ctypes.util.find_library("hvzvisa") else []
    tried = []
    for candidate in found:
        try:
            return ctypes.CDLL(candidate)
        except OSError as error:
            tried.append(f"{candidate}: {error}")
    raise LibraryNotFoundError(f"libhvzvisa.so could not be loaded ({'; '.join(tried) or 'no candidate found'}). "
                               f"Install the driver, or set {VISA_LIBRARY_ENVIRONMENT_VARIABLE} to its path.")


def list_resources(pattern: str = "?*") -> List[str]:
    """The resource names of the instruments this machine reaches that match
    ``pattern``, a VISA resource pattern such as ``"?*INSTR"`` or
    ``"TCPIP?*"``: serial ports, USB-TMC devices, VXI-11 instruments at the
    addresses of HVZELTA_VXI11_SUBNETS, mDNS announcements where Avahi runs.
    An empty list when none matches; ValueError for a malformed pattern."""
    if not isinstance(pattern, str):
        raise TypeError(f"pattern: a VISA resource pattern such as \"?*INSTR\" is needed, not {type(pattern).__name__}")
    visa = _visa_library()
    manager, found_list = ctypes.c_uint32(), ctypes.c_uint32()
    count = ctypes.c_uint32()
    name = ctypes.create_string_buffer(_FIND_BUFLEN)
    status = visa.viOpenDefaultRM(ctypes.byref(manager))
    if status < 0:
        raise DriverError(status, "the VISA resource manager could not be opened", "viOpenDefaultRM")
    try:
        status = visa.viFindRsrc(manager, pattern.encode(), ctypes.byref(found_list), ctypes.byref(count), name)
        if status == _VI_ERROR_RSRC_NFOUND:
            return []
        if status in (_VI_ERROR_INV_EXPR, _VI_ERROR_NSUP_OPER):
            raise ValueError(f"pattern: {pattern!r} is not a resource pattern this library takes "
                             "(attribute expressions in braces are not supported)")
        if status < 0:
            raise DriverError(status, f"finding the resources that match {pattern!r} failed", "viFindRsrc")
        names = [name.value.decode(errors="replace")]
        for _ in range(count.value - 1):
            if visa.viFindNext(found_list, name) < 0:
                break
            names.append(name.value.decode(errors="replace"))
        return names
    finally:
        visa.viClose(manager)
