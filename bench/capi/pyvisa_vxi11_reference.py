"""PyVISA-py's VXI-11 read of the emulator, the reference of the C read over
VXI-11: query("VOLT?") over the pure-Python backend, in rounds. The emulator
of the benchmark serves its port-mapper on a free port, not on 111, so the
backend's port-mapper port is pointed at it. Prints "pyvisa vxi11 <median
seconds per query>", or why there is none."""

import statistics
import sys
import time

ROUNDS = 21
QUERIES_PER_ROUND = 50


def main():
    try:
        import pyvisa
        from pyvisa_py.protocols import rpc
    except ImportError:
        print("PyVISA-py is not installed for /usr/bin/python3: no comparison with it.")
        return
    rpc.PMAP_PORT = int(sys.argv[1])
    manager = pyvisa.ResourceManager("@py")
    instrument = manager.open_resource("TCPIP::127.0.0.1::inst0::INSTR", read_termination="\n", timeout=5000)
    for _ in range(QUERIES_PER_ROUND):
        float(instrument.query("VOLT?"))
    times = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        for _ in range(QUERIES_PER_ROUND):
            float(instrument.query("VOLT?"))
        times.append((time.perf_counter() - start) / QUERIES_PER_ROUND)
    print(f"pyvisa vxi11 {statistics.median(times):.9f}")
    instrument.close()


if __name__ == "__main__":
    main()
