"""The driver's I/O log in Python's logging: a session opened while the logger
"hvzelta" is enabled for DEBUG logs every message it exchanges with the
instrument there, one DEBUG record a line."""

import ctypes
import logging
import threading

LOGGER = logging.getLogger("hvzelta")

_HANDLER_TYPE = ctypes.CFUNCTYPE(None, ctypes.c_char_p, ctypes.c_void_p)


@_HANDLER_TYPE
def _forward(line, _context):
    LOGGER.debug("%s", line.decode("utf-8", "replace"))


_lock = threading.Lock()
_installed = False


def follow_logger(handle):
    """Installs the library's handler when LOGGER takes DEBUG records and removes it
    when it does not: called as a session opens, which is when the driver looks."""
    global _installed
    wanted = LOGGER.isEnabledFor(logging.DEBUG)
    with _lock:
        if wanted == _installed:
            return
        function = handle.hvzelta_set_io_log_handler
        function.argtypes = (_HANDLER_TYPE, ctypes.c_void_p)
        function.restype = None
        function(_forward if wanted else _HANDLER_TYPE(), None)
        _installed = wanted


def log_to_screen(level=logging.DEBUG):
    """Shows the records of the "hvzelta" logger on standard error from `level` on;
    at DEBUG (the default) sessions opened from now on show their I/O.
    Returns the handler added, for ``logging.getLogger("hvzelta").removeHandler``."""
    handler = logging.StreamHandler()
    handler.setFormatter(logging.Formatter("%(asctime)s %(name)s %(levelname)s %(message)s"))
    LOGGER.addHandler(handler)
    LOGGER.setLevel(level)
    return handler
