"""PyVISA, on its pure-Python backend, talks to hvzelta-sim over the raw
socket, VXI-11 and the pseudo-terminal: an independent client checks that
the emulator speaks these protocols the way instruments do.

usage: pyvisa_interop.py PATH-TO-hvzelta-sim
Exits 77 (skipped) when PyVISA or its backend is not installed.
"""

import re
import subprocess
import sys
import time

try:
    import pyvisa
    from pyvisa_py.protocols import rpc
except ImportError as error:
    print(f"skipped: {error}")
    sys.exit(77)

NR3 = re.compile(r"^[+-]\d\.\d{8}E[+-]\d{2}$")


def start_emulator(program):
    process = subprocess.Popen(
        [program, "--port", "0", "--serial", "--vxi11", "--portmapper-port", "0"],
        stdout=subprocess.PIPE,
        text=True,
    )
    endpoints = {}
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        line = process.stdout.readline().strip()
        if line == "ready" or not line:
            break
        key, _, value = line.partition(": ")
        endpoints[key] = value
    if "socket" not in endpoints:
        process.kill()
        raise SystemExit("hvzelta-sim did not report its endpoints")
    return process, endpoints


def exercise(resource, label):
    """*IDN?, a set/query cycle, a measurement and the error query."""
    resource.timeout = 2000
    resource.read_termination = "\n"
    resource.write_termination = "\n"
    resource.write("*RST;*CLS")

    identity = resource.query("*IDN?").split(",")
    assert identity[0] == "Halvorn" and identity[1] == "ZTA100" and len(identity) == 4, identity

    resource.write("VOLT 115.5;:FREQ 50;:OUTP ON")
    level = resource.query("VOLT?")
    assert NR3.match(level) and float(level) == 115.5, level
    assert resource.query("OUTP?") == "1"
    assert float(resource.query("FREQ? Min")) == 40.0

    current = float(resource.query("MEAS:CURR:AC?"))  # 50 ohm load
    assert abs(current - 115.5 / 50) < 1e-6, current
    power = float(resource.query("FETC:POW:AC?"))
    assert abs(power - 115.5 * current) < 1e-4, power

    assert resource.query(":SYST:ERR?") == '0,"No error"'
    resource.write("VOLT 1000")
    assert resource.query(":SYST:ERR?") == '-222,"Data out of range"'
    print(f"{label}: ok")


def main():
    process, endpoints = start_emulator(sys.argv[1])
    try:
        manager = pyvisa.ResourceManager("@py")
        host, port = endpoints["socket"].rsplit(":", 1)
        with manager.open_resource(f"TCPIP::{host}::{port}::SOCKET") as socket_resource:
            exercise(socket_resource, "raw socket")

        # pyvisa-py asks the port-mapper at a fixed module-level port (111);
        # pointing it at the emulator's own port-mapper keeps parallel test
        # runs apart while the lookup itself runs unchanged.
        rpc.PMAP_PORT = int(endpoints["portmapper"].rsplit(":", 1)[1])
        with manager.open_resource(f"TCPIP::{host}::INSTR") as vxi11_resource:
            exercise(vxi11_resource, "VXI-11")
            assert vxi11_resource.read_stb() == 0
            vxi11_resource.write("*IDN?")
            assert vxi11_resource.read_stb() & 0x10  # message available
            vxi11_resource.clear()
            assert vxi11_resource.read_stb() == 0

        with manager.open_resource(f"ASRL{endpoints['serial']}::INSTR") as serial_resource:
            exercise(serial_resource, "serial")
        manager.close()
    finally:
        process.terminate()
        process.wait(timeout=10)
    if process.returncode != 0:
        raise SystemExit(f"hvzelta-sim ended with {process.returncode}")


if __name__ == "__main__":
    main()
