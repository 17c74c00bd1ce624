"""PyVISA's query("VOLT?") with libhvzvisa.so as its VISA library, against the
same PyVISA with pyvisa-py, on the emulator over a raw socket and VXI-11.
Rounds alternate between the two; each figure is the median of the rounds'
ratios (ours over pyvisa-py's time), printed as bench/run's RESULT lines.

Beside each, a DETAIL line shows the floor under the goal: the same query as
a bare viWrite and viRead of our library's session through ctypes, without
PyVISA, over pyvisa-py's query in the same rounds. What PyVISA's own C-library
backend adds to every call (its argument checks and debug-log formatting)
lies between the two and is not ours to remove.

    bench_pyvisa_backends.py LIBHVZVISA   (with hvzelta.Emulator importable)

pyvisa-py reaches VXI-11 only through a port-mapper at port 111; when the
emulator cannot have that port, the VXI-11 figure is not measured."""

import ctypes
import statistics
import sys
import time

ROUNDS = 7
QUERIES_PER_ROUND = 200
GOALS = {"socket": 0.8, "vxi11": 0.3}


def row(tag, figure, ours, reference, ratio, goal, verdict):
    print("\t".join((tag, figure, ours, reference, ratio, goal, verdict)), flush=True)


def not_measured(transport, why):
    row("RESULT", f"PyVISA query VOLT? {transport}: libhvzvisa / pyvisa-py", "-", "-", "-",
        f"<= {GOALS[transport]:.2f}", why)


def round_seconds(query):
    start = time.perf_counter()
    for _ in range(QUERIES_PER_ROUND):
        query()
    return (time.perf_counter() - start) / QUERIES_PER_ROUND


def bare_query(library, session):
    """VOLT? as viWrite and viRead of the session, with PyVISA's read count."""
    count = ctypes.c_uint32()
    buffer = ctypes.create_string_buffer(20480)
    command = b"VOLT?\n"

    def query():
        library.viWrite(session, command, len(command), ctypes.byref(count))
        library.viRead(session, buffer, len(buffer), ctypes.byref(count))
    return query


def measure(transport, resource, managers, library):
    instruments = [manager.open_resource(resource, read_termination="\n", write_termination="\n", timeout=5000)
                   for manager in managers]
    queries = [lambda instrument=instrument: instrument.query("VOLT?") for instrument in instruments]
    queries.append(bare_query(library, instruments[0].session))
    for query in queries:
        round_seconds(query)  # warm-up
    times = [[] for _ in queries]
    for _ in range(ROUNDS):
        for seconds, query in zip(times, queries):
            seconds.append(round_seconds(query))
    for instrument in instruments:
        instrument.close()
    ours, theirs, bare = times
    ratio = statistics.median(mine / reference for mine, reference in zip(ours, theirs))
    goal = GOALS[transport]
    row("RESULT", f"PyVISA query VOLT? {transport}: libhvzvisa / pyvisa-py", f"{statistics.median(ours) * 1e6:.0f} us",
        f"{statistics.median(theirs) * 1e6:.0f} us", f"{ratio:.2f}", f"<= {goal:.2f}",
        "PASS" if ratio <= goal else "MISS")
    floor = statistics.median(mine / reference for mine, reference in zip(bare, theirs))
    row("DETAIL", f"floor {transport}: libhvzvisa viWrite+viRead without PyVISA / pyvisa-py query",
        f"{statistics.median(bare) * 1e6:.0f} us", f"{statistics.median(theirs) * 1e6:.0f} us", f"{floor:.2f}",
        "-", "-")


def main():
    try:
        import pyvisa
        from hvzelta import Emulator
    except ImportError as missing:
        for transport in GOALS:
            not_measured(transport, f"NOT MEASURED ({missing})")
        return
    managers = [pyvisa.ResourceManager(sys.argv[1]), pyvisa.ResourceManager("@py")]
    library = ctypes.CDLL(sys.argv[1])
    with Emulator() as emulator:
        measure("socket", emulator.resource, managers, library)
    try:
        emulator = Emulator(arguments=("--no-socket", "--vxi11", "--vxi11-port", "0", "--portmapper-port", "111"))
        emulator.start()
    except RuntimeError:
        not_measured("vxi11", "NOT MEASURED (port 111 is not free for the port-mapper)")
        return
    try:
        measure("vxi11", "TCPIP::127.0.0.1::inst0::INSTR", managers, library)
    finally:
        emulator.stop()


if __name__ == "__main__":
    main()
