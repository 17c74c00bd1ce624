"""PyVISA-py's way to what the C InitWithOptions with IdQuery and Reset does
on the emulator's raw socket: open_resource, query("*IDN?"),
query("*RST;*OPC?") and close, over the pure-Python backend, in rounds (one
resource manager for all of them, as a program has). Prints "pyvisa open
<median seconds per open, queries and close>", or why there is none."""

import statistics
import sys
import time

ROUNDS = 21
OPENS_PER_ROUND = 10


def open_query_close(manager, resource):
    instrument = manager.open_resource(resource, read_termination="\n", write_termination="\n", timeout=5000)
    instrument.query("*IDN?")
    instrument.query("*RST;*OPC?")
    instrument.close()


def main():
    try:
        import pyvisa
    except ImportError:
        print("PyVISA is not installed for /usr/bin/python3: no comparison with it.")
        return
    try:
        manager = pyvisa.ResourceManager("@py")
    except (OSError, ValueError) as error:
        print(f"PyVISA-py is not usable for /usr/bin/python3 ({error}): no comparison with it.")
        return
    resource = f"TCPIP::127.0.0.1::{int(sys.argv[1])}::SOCKET"
    for _ in range(OPENS_PER_ROUND):
        open_query_close(manager, resource)
    times = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        for _ in range(OPENS_PER_ROUND):
            open_query_close(manager, resource)
        times.append((time.perf_counter() - start) / OPENS_PER_ROUND)
    print(f"pyvisa open {statistics.median(times):.9f}")
    manager.close()


if __name__ == "__main__":
    main()
