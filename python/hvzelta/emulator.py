"""The ZTA emulator as a context manager: a real instrument model behind a
loopback socket, for scripts and tests without hardware.

    with hvzelta.Emulator(model="ZTA200") as sim:
        with hvzelta.Driver(sim.resource, reset=True) as drv:
            ...
"""

import os
import select
import shutil
import subprocess
import time
from typing import Dict, Optional, Sequence

PROGRAM_ENVIRONMENT_VARIABLE = "HVZELTA_SIM"
STARTUP_SECONDS = 20
STOP_SECONDS = 10


def _native_environment() -> Dict[str, str]:
    """The environment for the emulator program: without the sanitizer runtime
    that a sanitized build preloads into the interpreter, which such a program
    carries itself."""
    environment = dict(os.environ)
    environment.pop("LD_PRELOAD", None)
    return environment


def program() -> str:
    """The hvzelta-sim program: the one HVZELTA_SIM names, else the one the build or
    installation placed beside this package, else the one on PATH."""
    named = os.environ.get(PROGRAM_ENVIRONMENT_VARIABLE)
    if named:
        return named
    try:
        from ._location import EMULATOR
    except ImportError:
        EMULATOR = None
    if EMULATOR:
        recorded = os.path.join(os.path.dirname(os.path.abspath(__file__)), EMULATOR)
        if os.access(recorded, os.X_OK):
            return recorded
    found = shutil.which("hvzelta-sim")
    if not found:
        raise FileNotFoundError(f"hvzelta-sim not found: install the driver, or set {PROGRAM_ENVIRONMENT_VARIABLE} "
                                "to the path of the hvzelta-sim program")
    return found


class Emulator:
    """Runs hvzelta-sim on a free loopback port while the ``with`` block lasts.

    ``model`` is ZTA100, ZTA200, ZTA300 or ZTA400; ``arguments`` are further
    options of hvzelta-sim (``man hvzelta-sim``), e.g. ``("--resistance", "46")``.
    ``resource`` is the raw-socket resource string to open the driver with.
    """

    def __init__(self, model: str = "ZTA100", arguments: Sequence[str] = (), program_path: Optional[str] = None):
        if not isinstance(model, str):
            raise TypeError(f"model: a model name such as \"ZTA200\" is needed, not {type(model).__name__}")
        self._command = [program_path or program(), "--port", "0", "--model", model, *arguments]
        self._process: Optional[subprocess.Popen] = None
        self.endpoints: Dict[str, str] = {}

    @property
    def resource(self) -> str:
        host, port = self.endpoints["socket"].rsplit(":", 1)
        return f"TCPIP::{host}::{port}::SOCKET"

    def start(self) -> "Emulator":
        self._process = subprocess.Popen(self._command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, bufsize=0,
                                         env=_native_environment())
        try:
            self._read_endpoints()
        except BaseException:
            self.stop()
            raise
        return self

    def _read_endpoints(self) -> None:
        # It prints one "name: address" line per endpoint, then "ready".
        deadline = time.monotonic() + STARTUP_SECONDS
        line = b""
        while True:
            remaining = deadline - time.monotonic()
            readable, _, _ = select.select([self._process.stdout], [], [], max(remaining, 0))
            if not readable:
                raise RuntimeError(f"hvzelta-sim did not get ready within {STARTUP_SECONDS} s")
            byte = self._process.stdout.read(1)
            if not byte:
                raise RuntimeError("hvzelta-sim ended: " + self._process.stderr.read().decode(errors="replace"))
            if byte != b"\n":
                line += byte
                continue
            text, line = line.decode().strip(), b""
            if text == "ready":
                return
            name, _, address = text.partition(": ")
            self.endpoints[name] = address

    def stop(self) -> None:
        if self._process is None:
            return
        self._process.terminate()
        try:
            self._process.wait(STOP_SECONDS)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
        self._process.stdout.close()
        self._process.stderr.close()
        self._process = None

    def __enter__(self) -> "Emulator":
        return self.start()

    def __exit__(self, *exception) -> None:
        self.stop()
