"""Finding libhvzelta.so and calling it: statuses become exceptions and warnings."""

import ctypes
import ctypes.util
import os
import re
import threading
import warnings

from . import _capi, _io_log
from .errors import DriverError, DriverWarning, LibraryNotFoundError

LIBRARY_ENVIRONMENT_VARIABLE = "HVZELTA_LIBRARY"

# A copy-out function returns the size its text needs when the buffer was too
# small, and a warning code when the driver warned; warnings are 0x00040000
# and above, so anything below is a size.
_SMALLEST_WARNING = 0x00040000
_FIRST_BUFFER_SIZE = 1024
# self_test, error_query, revision_query and error_message write up to 256 bytes.
_FIXED_BUFFER_SIZE = 256


def _recorded_location():
    """The library the build or the installation placed this package beside."""
    try:
        from ._location import LIBRARY
    except ImportError:
        return None
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), LIBRARY)


def candidates():
    """Where the library is looked for, in order: each a path or a name for dlopen.
    A library named in the environment is the only candidate: it was chosen."""
    if os.environ.get(LIBRARY_ENVIRONMENT_VARIABLE):
        return [os.environ[LIBRARY_ENVIRONMENT_VARIABLE]]
    found = []
    recorded = _recorded_location()
    if recorded and os.path.exists(recorded):
        found.append(recorded)
    system = ctypes.util.find_library("hvzelta")
    if system:
        found.append(system)
    return found


def load():
    """Opens the first library of :func:`candidates` that loads."""
    tried = []
    for candidate in candidates():
        try:
            return _capi.declare(ctypes.CDLL(candidate))
        except OSError as error:
            tried.append(f"{candidate}: {error}")
    where = "; ".join(tried) if tried else "no candidate found"
    raise LibraryNotFoundError(
        f"libhvzelta.so could not be loaded ({where}). Install the driver, or set "
        f"{LIBRARY_ENVIRONMENT_VARIABLE} to the path of libhvzelta.so.")


class ArgumentTypeError(TypeError):
    """An argument ctypes cannot convert, named as the caller knows it."""

    def __init__(self, parameter, needed, given, function):
        super().__init__(f"{parameter}: {needed} is needed, not {given} ({function})")
        self.needed, self.given, self.function = needed, given, function

    def renamed(self, parameter):
        """The same error for a caller who knows the parameter as `parameter`."""
        return ArgumentTypeError(parameter, self.needed, self.given, self.function)


class Library:
    """The C functions of one loaded library, called with their status checked."""

    def __init__(self, handle):
        self._handle = handle

    def call(self, session, name, *arguments):
        """Calls hvzelta_<name>; an error raises DriverError, a warning is issued.

        Returns the status (0 or a warning). `session` is the session whose
        error information describes a failure (0 for none).
        """
        status = self._invoke(name, *arguments)
        if status != 0:
            self._report(session, name, status)
        return status

    def open(self, resource, id_query, reset, options):
        """Opens a session with hvzelta_InitWithOptions and returns its handle."""
        session = _capi.ViSession()
        _io_log.follow_logger(self._handle)
        status = self._invoke("InitWithOptions", resource, id_query, reset, options, ctypes.byref(session))
        # A failed open has no session: its description is the thread's. A
        # warning's is in the new session.
        if status != 0:
            self._report(session.value, "InitWithOptions", status)
        return session.value

    def _invoke(self, name, *arguments):
        """Calls hvzelta_<name>; an argument of the wrong type raises TypeError naming it."""
        try:
            return getattr(self._handle, "hvzelta_" + name)(*arguments)
        except ctypes.ArgumentError as error:
            position = re.match(r"argument (\d+):", str(error))
            if not position:
                raise TypeError(f"hvzelta_{name}: {error}") from None
            index = int(position.group(1))
            raise ArgumentTypeError(_capi.parameter_name(name, index), _capi.python_type(name, index),
                                    type(arguments[index - 1]).__name__, "hvzelta_" + name) from None

    def text(self, session, name, *arguments):
        """Calls a copy-out function (buffer size and buffer last) and returns the text."""
        size = _FIRST_BUFFER_SIZE
        while True:
            buffer = ctypes.create_string_buffer(size)
            status = self._invoke(name, *arguments, size, buffer)
            if size < status < _SMALLEST_WARNING:
                size = status
                continue
            if status < 0 or status >= _SMALLEST_WARNING:
                self._report(session, name, status)
            return buffer.value.decode("utf-8", "replace")

    def fixed_texts(self, session, name, *arguments, count=1):
        """Calls a function that fills `count` 256-byte buffers after `arguments`."""
        buffers = [ctypes.create_string_buffer(_FIXED_BUFFER_SIZE) for _ in range(count)]
        self.call(session, name, *arguments, *buffers)
        return [buffer.value.decode("utf-8", "replace") for buffer in buffers]

    def error_message(self, code):
        """The driver's message for any status code ("" when it has none)."""
        buffer = ctypes.create_string_buffer(_FIXED_BUFFER_SIZE)
        self._handle.hvzelta_error_message(0, code, buffer)
        return buffer.value.decode("utf-8", "replace")

    def _stored_error(self, session):
        """The code and description a session (or, for 0, the thread) holds, cleared."""
        code = _capi.ViStatus()
        needed = self._handle.hvzelta_GetError(session, ctypes.byref(code), 0, None)
        if needed <= 1:
            return code.value, ""
        buffer = ctypes.create_string_buffer(needed)
        if self._handle.hvzelta_GetError(session, ctypes.byref(code), needed, buffer) < 0:
            return 0, ""
        return code.value, buffer.value.decode("utf-8", "replace")

    def _report(self, session, name, status):
        code, description = self._stored_error(session)
        if (code != status or not description) and session != 0:
            # A call on a dead session leaves its description with the thread.
            code, description = self._stored_error(0)
        if code != status or not description:
            description = self.error_message(status) or "The driver gave no description."
        report = (DriverError if status < 0 else DriverWarning)(status, description, "hvzelta_" + name)
        if status < 0:
            raise report
        warnings.warn(report, stacklevel=4)


_loaded = None
_loading = threading.Lock()


def library():
    """The process's one Library, loaded on first use."""
    global _loaded
    with _loading:
        if _loaded is None:
            _loaded = Library(load())
        return _loaded
