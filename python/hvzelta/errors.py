"""Failures and warnings of the driver, with the codes of ``hvzelta.h``."""

from ._header import StatusCode


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
