"""PyVISA's figures for the I/O session benchmark: the 10 MB block and the
100 000 reals of the benchmark's data server, read with query_binary_values
and query_ascii_values over the pure-Python backend. Prints one line per
figure, "pyvisa <what> <median seconds>", or why there is none."""

import statistics
import sys
import time

REPETITIONS = 5


def median_seconds(action):
    times = []
    for _ in range(REPETITIONS):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    try:
        import pyvisa
    except ImportError:
        print("PyVISA is not installed for /usr/bin/python3: no comparison with it.")
        return
    port = int(sys.argv[1])
    manager = pyvisa.ResourceManager("@py")
    instrument = manager.open_resource(
        f"TCPIP::127.0.0.1::{port}::SOCKET", read_termination="\n", write_termination="\n", timeout=10000
    )
    instrument.chunk_size = 1024 * 1024
    block = median_seconds(
        lambda: instrument.query_binary_values("BLK?", datatype="B", container=bytearray, expect_termination=True)
    )
    print(f"pyvisa block {block:.6f}")
    values = median_seconds(lambda: instrument.query_ascii_values("LIST?"))
    print(f"pyvisa list {values:.6f}")
    instrument.close()


if __name__ == "__main__":
    main()
