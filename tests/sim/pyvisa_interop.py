"""PyVISA, on its pure-Python backend, talks to hvzelta-sim over the raw
socket, VXI-11 and the pseudo-terminal: an independent client checks that
the emulator speaks these protocols the way instruments do.

usage: pyvisa_interop.py PATH-TO-hvzelta-sim  (exits 77, skipped, without PyVISA)
"""

import re
import subprocess
import sys

try:
    import pyvisa
    from pyvisa_py.protocols import rpc
except ImportError as error:
    print(f"skipped: {error}")
    sys.exit(77)


def exercise(resource, label):
    """*IDN?, a set/query cycle, a measurement and the error queue."""
    resource.timeout = 2000
    resource.read_termination = resource.write_termination = "\n"
    resource.write("*RST;*CLS")
    assert re.fullmatch(r"Halvorn,ZTA100,[^,]+,[^,]+", resource.query("*IDN?"))
    resource.write("VOLT 115.5;:FREQ 50;:OUTP ON")
    assert resource.query("VOLT?;:OUTP?;:FREQ? MIN") == "+1.15500000E+02;1;+4.00000000E+01"
    current = float(resource.query("MEAS:CURR:AC?"))  # 50 ohm load
    assert abs(current - 115.5 / 50) < 1e-6, current
    assert abs(float(resource.query("FETC:POW:AC?")) - 115.5 * current) < 1e-4
    resource.write("VOLT 1000")
    assert resource.query(":SYST:ERR?;:SYST:ERR?") == '-222,"Data out of range";0,"No error"'
    print(f"{label}: ok")


def main():
    process = subprocess.Popen([sys.argv[1], "--port", "0", "--serial", "--vxi11", "--portmapper-port", "0"],
                               stdout=subprocess.PIPE, text=True)
    try:
        endpoints = {}
        for line in process.stdout:  # "name: endpoint" lines, then "ready"
            if line.strip() == "ready":
                break
            key, _, value = line.strip().partition(": ")
            endpoints[key] = value
        manager = pyvisa.ResourceManager("@py")
        host, port = endpoints["socket"].rsplit(":", 1)
        with manager.open_resource(f"TCPIP::{host}::{port}::SOCKET") as socket_resource:
            exercise(socket_resource, "raw socket")

        # pyvisa-py asks the port-mapper at a fixed module-level port (111);
        # pointing it at the emulator's own keeps parallel test runs apart.
        rpc.PMAP_PORT = int(endpoints["portmapper"].rsplit(":", 1)[1])
        with manager.open_resource(f"TCPIP::{host}::INSTR") as vxi11_resource:
            exercise(vxi11_resource, "VXI-11")
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
