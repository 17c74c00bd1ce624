"""PyVISA's pure-Python backend, an independent client, talks to hvzelta-sim over VXI-11
through the emulator's own port-mapper (the raw socket and serial line meet it in tests/visa_library).

usage: pyvisa_interop.py PATH-TO-hvzelta-sim  (exits 77, skipped, without PyVISA)
"""

import subprocess
import sys

try:
    import pyvisa
    from pyvisa_py.protocols import rpc
except ImportError as error:
    print(f"skipped: {error}")
    sys.exit(77)


def main():
    process = subprocess.Popen([sys.argv[1], "--port", "0", "--vxi11", "--portmapper-port", "0"],
                               stdout=subprocess.PIPE, text=True)
    try:
        endpoints = {}
        for line in process.stdout:  # "name: endpoint" lines, then "ready"
            if line.strip() == "ready":
                break
            key, _, value = line.strip().partition(": ")
            endpoints[key] = value
        # pyvisa-py asks the port-mapper at a fixed module-level port (111);
        # pointing it at the emulator's own keeps parallel test runs apart.
        host, port = endpoints["portmapper"].rsplit(":", 1)
        rpc.PMAP_PORT = int(port)
        manager = pyvisa.ResourceManager("@py")
        with manager.open_resource(f"TCPIP::{host}::INSTR", timeout=2000, read_termination="\n",
                                   write_termination="\n") as instrument:
            assert instrument.query("*IDN?").startswith("Halvorn,ZTA100,")
            instrument.write("VOLT 115.5;:FREQ 50;:OUTP ON")
            assert instrument.query("VOLT?;:OUTP?;:FREQ? MIN") == "+1.15500000E+02;1;+4.00000000E+01"
            current = float(instrument.query("MEAS:CURR:AC?"))  # 50 ohm load
            assert abs(current - 115.5 / 50) < 1e-6, current
            instrument.write("VOLT 1000")
            assert instrument.query(":SYST:ERR?;:SYST:ERR?") == '-222,"Data out of range";0,"No error"'
            instrument.write("*IDN?")
            assert instrument.read_stb() & 0x10  # message available
            instrument.clear()
            assert instrument.read_stb() == 0
        manager.close()
    finally:
        process.terminate()
        process.wait(timeout=10)
    if process.returncode != 0:
        raise SystemExit(f"hvzelta-sim ended with {process.returncode}")
    print("VXI-11: ok")


if __name__ == "__main__":
    main()
