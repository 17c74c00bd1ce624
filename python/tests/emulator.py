"""Runs the ZTA emulator (hvzelta-sim) on a free loopback port for a test."""

import os
import select
import subprocess
import time

STARTUP_SECONDS = 20
STOP_SECONDS = 10


def native_environment():
    """The environment for a program of the build: without the sanitizer runtime
    that a sanitized build preloads into the interpreter, which such a program
    carries itself."""
    environment = dict(os.environ)
    environment.pop("LD_PRELOAD", None)
    return environment


def program():
    """The emulator program the build made (the test registration names it)."""
    path = os.environ.get("HVZELTA_SIM")
    if not path:
        raise RuntimeError("HVZELTA_SIM must name the hvzelta-sim program")
    return path


class Emulator:
    """``with Emulator("--model", "ZTA300") as sim:`` serves ``sim.resource``."""

    def __init__(self, *arguments):
        self._arguments = arguments
        self._process = None
        self.endpoints = {}

    @property
    def resource(self):
        host, port = self.endpoints["socket"].rsplit(":", 1)
        return f"TCPIP::{host}::{port}::SOCKET"

    def start(self):
        self._process = subprocess.Popen([program(), "--port", "0", *self._arguments], stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, bufsize=0, env=native_environment())
        try:
            self._read_endpoints()
        except BaseException:
            self.stop()
            raise
        return self

    def _read_endpoints(self):
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

    def stop(self):
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

    def __enter__(self):
        return self.start()

    def __exit__(self, *exception):
        self.stop()
