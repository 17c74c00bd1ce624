"""PyVISA's query("VOLT?") with libhvzvisa.so as its VISA library, against the
same PyVISA with pyvisa-py, on the emulator over a raw socket and VXI-11.
Rounds alternate between the two; each figure is the median of the rounds'
ratios (ours over pyvisa-py's time), printed as bench/run's RESULT lines.

    bench_pyvisa_backends.py LIBHVZVISA   (with hvzelta.Emulator importable)

pyvisa-py reaches VXI-11 only through a port-mapper at port 111; when the
emulator cannot have that port, the VXI-11 figure is not measured."""

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


def round_seconds(instrument):
    start = time.perf_counter()
    for _ in range(QUERIES_PER_ROUND):
        instrument.query("VOLT?")
    return (time.perf_counter() - start) / QUERIES_PER_ROUND


def measure(transport, resource, managers):
    instruments = [manager.open_resource(resource, read_termination="\n", write_termination="\n", timeout=5000)
                   for manager in managers]
    for instrument in instruments:
        round_seconds(instrument)  # warm-up
    ours, theirs, ratios = [], [], []
    for _ in range(ROUNDS):
        mine, reference = (round_seconds(instrument) for instrument in instruments)
        ours.append(mine)
        theirs.append(reference)
        ratios.append(mine / reference)
    for instrument in instruments:
        instrument.close()
    ratio = statistics.median(ratios)
    goal = GOALS[transport]
    row("RESULT", f"PyVISA query VOLT? {transport}: libhvzvisa / pyvisa-py", f"{statistics.median(ours) * 1e6:.0f} us",
        f"{statistics.median(theirs) * 1e6:.0f} us", f"{ratio:.2f}", f"<= {goal:.2f}",
        "PASS" if ratio <= goal else "MISS")


def main():
    try:
        import pyvisa
        from hvzelta import Emulator
    except ImportError as missing:
        for transport in GOALS:
            not_measured(transport, f"NOT MEASURED ({missing})")
        return
    managers = [pyvisa.ResourceManager(sys.argv[1]), pyvisa.ResourceManager("@py")]
    with Emulator() as emulator:
        measure("socket", emulator.resource, managers)
    try:
        emulator = Emulator(arguments=("--no-socket", "--vxi11", "--vxi11-port", "0", "--portmapper-port", "111"))
        emulator.start()
    except RuntimeError:
        not_measured("vxi11", "NOT MEASURED (port 111 is not free for the port-mapper)")
        return
    try:
        measure("vxi11", "TCPIP::127.0.0.1::inst0::INSTR", managers)
    finally:
        emulator.stop()


if __name__ == "__main__":
    main()
