"""PyVISA, a client nobody here wrote, with libhvzvisa.so as its VISA library,
against the emulator on every transport; and the same cases through
pyvisa-py on the transports it has, which must give the same answers."""

import json
import os
import re
import subprocess
import threading
import time
import unittest

import pyvisa
from pyvisa import constants
from pyvisa.errors import VisaIOError

import hvzelta
from hvzelta import Emulator
from hvzelta.emulator import _native_environment

LIBRARY = os.environ["HVZVISA_LIBRARY"]
# A definite-length block whose bytes include line feeds, served as the identity.
BLOCK = b"\n\x01\n\x02\n\x03"
TIMEOUT_MARGIN_S = 2.0
LAN_AND_SERIAL = ("--hislip", "--hislip-port", "0", "--vxi11", "--vxi11-port", "0", "--portmapper-port", "0", "--serial")
# Resource names by transport, and whether pyvisa-py has the transport (it lacks
# HiSLIP, and reaches VXI-11 only through a port-mapper on port 111).
RESOURCE_FORMATS = {"socket": ("TCPIP::{}::{}::SOCKET", True), "hislip": ("TCPIP::{}::hislip0,{}::INSTR", False),
                    "vxi11": ("TCPIP::{},{}::INSTR", False), "serial": ("ASRL{}::INSTR", True)}


def resources(endpoints):
    return {transport: (form.format(*endpoints[transport].rsplit(":", 1)), in_pyvisa_py)
            for transport, (form, in_pyvisa_py) in RESOURCE_FORMATS.items() if transport in endpoints}


def open_instrument(manager, name):
    return manager.open_resource(name, read_termination="\n", write_termination="\n", timeout=2000)


def block_with_line_feeds(inst, manager, name):
    return inst.query_binary_values("*IDN?", datatype="B", container=bytes)


def setting_read_back(inst, manager, name):
    inst.write("VOLT 115.5")
    return inst.query("VOLT?")


def reply_read_in_pieces(inst, manager, name):
    inst.write("FREQ?")
    return inst.read_bytes(4), inst.read()


def status_byte_after_an_error(inst, manager, name):
    inst.write("*CLS")
    inst.write("SYST:BOGUS")
    try:
        stb = inst.read_stb()
    except VisaIOError as failure:  # a raw socket or serial line has no status byte of its own
        stb = failure.error_code
    assert stb < 0 or stb & 0x04, f"the error queue bit is off in {stb:#x}"
    return stb, inst.query("SYST:ERR?")


def query_after_clear(inst, manager, name):
    inst.clear()
    return inst.query("*OPC?")


def read_with_nothing_to_read(inst, manager, name):
    inst.timeout = 300
    started = time.monotonic()
    try:
        inst.read()
    except VisaIOError as failure:
        elapsed = time.monotonic() - started
        assert elapsed < 0.3 + TIMEOUT_MARGIN_S, f"the timeout of 300 ms took {elapsed:.1f} s"
        return failure.error_code
    return "no timeout"


def lock_held_against_a_second_session(inst, manager, name):
    inst.lock_excl()
    other = open_instrument(manager, name)
    try:
        try:
            other.lock_excl(timeout=200)
            refused = None
        except VisaIOError as failure:
            refused = failure.error_code
        inst.unlock()
        other.lock_excl(timeout=200)
        other.unlock()
        return refused, other.query("*OPC?")
    finally:
        other.close()


def eight_threads_on_one_session(inst, manager, name):
    # Queries pair a write with its read, so they take turns; attribute
    # calls run beside them.
    turn = threading.Lock()
    answers, failures = [], []

    def work():
        try:
            for _ in range(10):
                with turn:
                    answers.append(inst.query("VOLT?"))
                inst.get_visa_attribute(constants.VI_ATTR_TMO_VALUE)
        except Exception as failure:  # noqa: BLE001 - reported below
            failures.append(repr(failure))

    inst.write("VOLT 42")
    threads = [threading.Thread(target=work) for _ in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(60)
    return failures, len(answers), sorted(set(answers))


# Each case with the answer expected from our library on every transport
# (None: the answer is whatever pyvisa-py gives, compared below).
CASES = [
    (block_with_line_feeds, BLOCK),
    (setting_read_back, "+1.15500000E+02"),
    (reply_read_in_pieces, (b"+6.0", "0000000E+01")),
    (status_byte_after_an_error, (None, '-113,"Undefined header"')),
    (query_after_clear, "1"),
    (read_with_nothing_to_read, constants.StatusCode.error_timeout),
    (lock_held_against_a_second_session, (constants.StatusCode.error_timeout, "1")),
    (eight_threads_on_one_session, ([], 80, ["+4.20000000E+01"])),
]
# What pyvisa-py does not offer on its transports (it answers VI_ERROR_NSUP_OPER
# for others, such as the status byte over a socket).
NOT_IN_PYVISA_PY = {lock_held_against_a_second_session}


def matches(expected, answer):
    if expected is None:
        return True
    if isinstance(expected, tuple):
        return len(expected) == len(answer) and all(matches(e, a) for e, a in zip(expected, answer))
    return expected == answer


class PyVisaClientTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.emulator = Emulator(arguments=LAN_AND_SERIAL + (
            "--idn", "#1{}{}".format(len(BLOCK), BLOCK.decode("latin-1")))).start()
        cls.ours = pyvisa.ResourceManager(LIBRARY)
        cls.theirs = pyvisa.ResourceManager("@py")

    @classmethod
    def tearDownClass(cls):
        cls.ours.close()
        cls.theirs.close()
        cls.emulator.stop()

    def run_case(self, manager, name, case):
        inst = open_instrument(manager, name)
        try:
            return case(inst, manager, name)
        finally:
            inst.close()

    def test_every_case_on_every_transport_and_the_same_as_pyvisa_py(self):
        for transport, (name, in_pyvisa_py) in resources(self.emulator.endpoints).items():
            for case, expected in CASES:
                with self.subTest(transport=transport, case=case.__name__):
                    answer = self.run_case(self.ours, name, case)
                    self.assertTrue(matches(expected, answer), f"{answer!r} is not {expected!r}")
                    if not in_pyvisa_py or case in NOT_IN_PYVISA_PY:
                        continue
                    try:
                        theirs = self.run_case(self.theirs, name, case)
                    except VisaIOError as failure:
                        if failure.error_code != constants.StatusCode.error_nonsupported_operation:
                            raise
                        continue
                    self.assertEqual(theirs, answer, "pyvisa-py answers otherwise")

    def test_the_header_has_the_published_numbers(self):
        # PyVISA carries the published constants too: every one the header
        # shares with it must agree.
        header = os.path.join(os.path.dirname(__file__), "..", "..", "include", "hvzvisa", "visa.h")
        with open(header, encoding="ascii") as text:
            defines = re.findall(r"^#define (VI_\w+)\s+\((.+)\)\s*$", text.read(), re.MULTILINE)
        compared = 0
        for name, value in defines:
            if hasattr(constants, name):
                value = re.sub(r"(0x[0-9A-Fa-f]+|\d+)U?L", r"\1", value.replace("_VI_ERROR", "(-2147483648)"))
                self.assertEqual(eval(value), getattr(constants, name), name)  # noqa: S307 - our own header
                compared += 1
        self.assertGreater(compared, 200)

    def test_a_c_program_built_against_the_installation(self):
        with Emulator(arguments=LAN_AND_SERIAL) as plain:
            for transport, (name, _) in resources(plain.endpoints).items():
                with self.subTest(transport=transport):
                    ran = subprocess.run([os.environ["HVZVISA_C_PROGRAM"], name], capture_output=True, text=True,
                                         timeout=30, check=False, env=_native_environment())
                    self.assertEqual(ran.returncode, 0, ran.stderr)
                    self.assertEqual(ran.stdout.splitlines(), ["identity: Halvorn,ZTA100,HZ1000417,2.04",
                                                               "voltage: 115.5 V", "frequency: +6.00000000E+01"])

    def test_the_emulator_is_found_through_its_port_mapper(self):
        host, core_port = self.emulator.endpoints["vxi11"].rsplit(":", 1)
        expected = f"TCPIP0::{host},{core_port}::inst0::INSTR"
        port_mapper = self.emulator.endpoints["portmapper"].rsplit(":", 1)[1]
        os.environ.update(HVZELTA_VXI11_SUBNETS=host, HVZELTA_PORTMAPPER_PORT=port_mapper, HVZELTA_MDNS_DISCOVERY="0")
        self.assertEqual(self.ours.list_resources("TCPIP?*INSTR"), (expected,))
        self.assertEqual(self.ours.list_resources("GPIB?*"), ())
        self.assertEqual(hvzelta.list_resources("TCPIP?*"), [expected])
        self.assertEqual(self.run_case(self.ours, expected, query_after_clear), "1")
        listed = subprocess.run([os.environ["HVZELTA_CLI"], "list", "TCPIP?*", "--json", "--idn"], capture_output=True,
                                text=True, timeout=60, check=True, env=_native_environment())
        self.assertEqual([(entry["resource"], "idn" in entry) for entry in json.loads(listed.stdout)], [(expected, True)])
        for bad in ("(unbalanced", "?*INSTR{VI_ATTR_INTF_NUM==0}"):
            with self.subTest(pattern=bad):
                with self.assertRaisesRegex(ValueError, "not a resource pattern"):
                    hvzelta.list_resources(bad)

    def test_a_reply_that_comes_after_its_timeout_never_answers_the_next_query(self):
        with Emulator(arguments=LAN_AND_SERIAL[:-1] + ("--fault", "late%100", "--late", "700")) as late:
            for transport, (name, _) in resources(late.endpoints).items():
                with self.subTest(transport=transport):
                    inst = open_instrument(self.ours, name)
                    try:
                        inst.write("VOLT 230")
                        inst.timeout = 300
                        with self.assertRaises(VisaIOError) as failure:
                            inst.query("VOLT?")
                        self.assertEqual(failure.exception.error_code, constants.StatusCode.error_timeout)
                        inst.timeout = 3000
                        time.sleep(0.7)  # the late reply has come by now
                        self.assertEqual(inst.query("*IDN?").split(",")[0], "Halvorn")
                    finally:
                        inst.close()


if __name__ == "__main__":
    unittest.main()
