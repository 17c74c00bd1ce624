"""Side by side on the same hostile peers: this driver (through its C library)
and PyVISA with its pure-Python backend, each setting a voltage and reading
it back over a raw socket while one reply misbehaves.

A proxy on loopback stands between the client and the emulator's socket and
spoils the reply to one armed query: late by 1.5x or 10x the timeout, sent
twice, split around the timeout, or replaced by digits that never end. Each
case then runs six more set-and-read-back rounds with values no other round
has, and prints per client: what the spoiled call returned and how long it
took, the rounds that failed, and the rounds that got another call's answer.

    python3 bench/io/hostile_peers.py SIM_SOCKET_PORT LIBHVZELTA_SO

SIM_SOCKET_PORT is the socket port of a running emulator
(hvzelta-sim --port 0 prints it)."""

import ctypes
import socket
import sys
import threading
import time

TIMEOUT_MS = 300
ROUNDS = 6


class Proxy:
    """Forwards each connection to the emulator; spoils the next reply once armed."""

    def __init__(self, target_port):
        self.target_port = target_port
        self.armed = None
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def arm(self, fault):
        self.armed = fault

    def _accept(self):
        while True:
            client, _ = self.listener.accept()
            upstream = socket.create_connection(("127.0.0.1", self.target_port))
            threading.Thread(target=self._pump, args=(client, upstream), daemon=True).start()
            threading.Thread(target=self._replies, args=(upstream, client), daemon=True).start()

    @staticmethod
    def _pump(source, sink):
        try:
            while data := source.recv(65536):
                sink.sendall(data)
        except OSError:
            pass
        for end in (source, sink):
            try:
                end.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def _replies(self, upstream, client):
        pending = b""
        try:
            while data := upstream.recv(65536):
                pending += data
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    self._deliver(client, line + b"\n")
        except OSError:
            pass

    def _deliver(self, client, reply):
        fault, self.armed = self.armed, None
        if fault == "doubled":
            client.sendall(reply + reply)
        elif fault == "split":
            client.sendall(reply[: len(reply) // 2])
            time.sleep(1.5 * TIMEOUT_MS / 1000)
            client.sendall(reply[len(reply) // 2:])
        elif fault == "trickle":
            while True:
                client.sendall(b"7" * 2048)
                time.sleep(0.5 * TIMEOUT_MS / 1000)
        elif fault is not None:  # a lateness factor
            time.sleep(fault * TIMEOUT_MS / 1000)
            client.sendall(reply)
        else:
            client.sendall(reply)


class Ours:
    name = "hvzelta"

    def __init__(self, library, port):
        self.lib = ctypes.CDLL(library)
        self.vi = ctypes.c_uint32(0)
        resource = f"TCPIP::127.0.0.1::{port}::SOCKET".encode()
        status = self.lib.hvzelta_InitWithOptions(resource, 0, 0, b"Cache=false", ctypes.byref(self.vi))
        if status != 0:
            raise RuntimeError(f"open failed: {status:#x}")
        self.lib.hvzelta_SetAttributeViInt32(self.vi, b"", 1150001, TIMEOUT_MS)
        self.lib.hvzelta_SetVoltageLevel.argtypes = [ctypes.c_uint32, ctypes.c_char_p, ctypes.c_double]

    def set_voltage(self, value):
        return self.lib.hvzelta_SetVoltageLevel(self.vi, b"Output1", value) == 0

    def get_voltage(self):
        value = ctypes.c_double(-1)
        status = self.lib.hvzelta_GetVoltageLevel(self.vi, b"Output1", ctypes.byref(value))
        return value.value if status == 0 else None

    def close(self):
        self.lib.hvzelta_close(self.vi)


class Theirs:
    name = "pyvisa-py"

    def __init__(self, port):
        import pyvisa
        self.manager = pyvisa.ResourceManager("@py")
        self.instrument = self.manager.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET",
                                                     read_termination="\n", write_termination="\n")
        self.instrument.timeout = TIMEOUT_MS

    def set_voltage(self, value):
        try:
            self.instrument.write(f"VOLT {value}")
            return True
        except Exception:
            return False

    def get_voltage(self):
        try:
            return float(self.instrument.query("VOLT?"))
        except Exception:
            return None

    def close(self):
        try:
            self.instrument.close()
        except Exception:
            pass


CASES = [("late 1.5x", 1.5), ("late 10x", 10.0), ("doubled", "doubled"), ("split", "split"),
         ("endless trickle", "trickle")]


def run(case, fault, client):
    client.set_voltage(100.0)
    client.get_voltage()
    client.proxy.arm(fault)
    start = time.monotonic()
    first = client.get_voltage()
    took = time.monotonic() - start
    failed = wrong = 0
    for round_number in range(1, ROUNDS + 1):
        value = 20.0 + round_number
        if not client.set_voltage(value):
            failed += 1
            continue
        got = client.get_voltage()
        if got is None:
            failed += 1
        elif got != value:
            wrong += 1
        time.sleep(fault * TIMEOUT_MS / 1000 / ROUNDS if isinstance(fault, float) else 0.05)
    spoiled = "error" if first is None else ("right" if first == 100.0 else f"wrong ({first})")
    print(f"| {case} | {client.name} | {spoiled}, {took * 1000:.0f} ms | {failed} | {wrong} |", flush=True)


def main():
    sim_port, library = int(sys.argv[1]), sys.argv[2]
    print("| case | client | spoiled call | later rounds failed | later rounds with another call's answer |")
    print("|---|---|---|---|---|")
    for case, fault in CASES:
        for make in (lambda port: Ours(library, port), Theirs):
            proxy = Proxy(sim_port)
            client = make(proxy.port)
            client.proxy = proxy
            try:
                run(case, fault, client)
            finally:
                client.close()


if __name__ == "__main__":
    main()
