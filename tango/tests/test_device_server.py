"""hvzelta-tango against the emulator, in file-database mode, through PyTango."""

import os
import queue
import select
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from hvzelta import Emulator

try:
    import tango
except ImportError:
    tango = None

SERVER = os.environ.get("HVZELTA_TANGO_SERVER", "")
STARTUP_SECONDS = 20
STOP_SECONDS = 10
CALL_TIMEOUT_MS = 5000
# A few polling periods of the measurements.
EVENT_SECONDS = 10
CLIENT_SECONDS = 30
CLIENT_PREAMBLE = f"""
import sys
import tango
ROUNDS = 200
source = tango.DeviceProxy(sys.argv[1])
source.set_timeout_millis({CALL_TIMEOUT_MS})
source.set_source(tango.DevSource.DEV)
"""
# The emulated load: 10 ohm draws 1 A per 10 V.
LOAD_OHM = "10"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class DeviceServer:
    """Runs hvzelta-tango INSTANCE -file=FILE on a free loopback port."""

    def __init__(self, folder, devices):
        self.port = free_port()
        path = os.path.join(folder, "devices.res")
        with open(path, "w", encoding="utf-8") as file:
            names = ",\\\n    ".join(f'"{name}"' for name in devices)
            file.write(f"hvzelta-tango/test/DEVICE/HvzeltaAcSource: {names}\n")
            for name, resource in devices.items():
                if resource:
                    file.write(f'{name}->Resource: "{resource}"\n')
        self._process = subprocess.Popen(
            [SERVER, "test", f"-file={path}", "-ORBendPoint", f"giop:tcp:127.0.0.1:{self.port}"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            self._wait_ready()
        except BaseException:
            self.stop()
            raise

    def _wait_ready(self):
        deadline = time.monotonic() + STARTUP_SECONDS
        output = b""
        while b"Ready to accept request" not in output:
            remaining = deadline - time.monotonic()
            readable, _, _ = select.select([self._process.stdout], [], [], max(remaining, 0))
            if not readable:
                raise RuntimeError(f"hvzelta-tango did not get ready within {STARTUP_SECONDS} s: {output!r}")
            chunk = os.read(self._process.stdout.fileno(), 4096)
            if not chunk:
                raise RuntimeError(f"hvzelta-tango ended: {output!r}")
            output += chunk

    def proxy(self, name):
        device = tango.DeviceProxy(f"tango://127.0.0.1:{self.port}/{name}#dbase=no")
        device.set_timeout_millis(CALL_TIMEOUT_MS)
        return device

    def stop(self):
        self._process.terminate()
        try:
            self._process.wait(STOP_SECONDS)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
        self._process.stdout.close()


@unittest.skipIf(tango is None, "the interpreter has no tango module (python3-tango)")
@unittest.skipIf(not SERVER, "HVZELTA_TANGO_SERVER names no server")
class DeviceServerTest(unittest.TestCase):

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.emulator = Emulator("ZTA100", ("--resistance", LOAD_OHM)).start()
        self.addCleanup(self.folder.cleanup)
        self.addCleanup(lambda: self.emulator.stop())
        self.server = DeviceServer(self.folder.name, {"test/ac/1": self.emulator.resource, "test/ac/2": ""})
        self.addCleanup(self.server.stop)
        self.source = self.server.proxy("test/ac/1")
        # Measurements are polled: read the instrument, not the polling buffer.
        self.source.set_source(tango.DevSource.DEV)

    def assertRefused(self, call, reason_prefix, text):
        with self.assertRaises(tango.DevFailed) as caught:
            call()
        error = caught.exception.args[0]
        self.assertTrue(error.reason.startswith(reason_prefix), error.reason)
        self.assertIn(text, error.desc)

    def test_settings_read_back_and_refused_values_raise(self):
        settings = {"VoltageLevel": 115.0, "VoltageRange": 310.0, "VoltageOffset": 0.0, "Frequency": 50.0,
                    "CurrentLimit": 2.5, "CouplingMode": 2, "CurrentLimitBehavior": 1, "OutputEnabled": False,
                    "TriggeredVoltageLevel": 50.0, "TriggeredFrequency": 400.0}
        for name, value in settings.items():
            with self.subTest(name):
                self.source.write_attribute(name, value)
                self.assertEqual(self.source.read_attribute(name).value, value)
        # Enumerated settings are Tango enumerations: index 2 is AC+DC, whose driver value is 3.
        self.assertIn("ACDC", self.source.Query("OUTP:COUP?"))
        self.assertRefused(lambda: self.source.write_attribute("CouplingMode", 7), "", "")
        frequency = self.source.get_attribute_config("Frequency")
        self.assertEqual(frequency.unit, "Hz")
        # The instrument's range: Tango refuses what lies outside it.
        self.assertLess(0.0, float(frequency.min_value))
        self.assertLess(float(frequency.min_value), float(frequency.max_value))
        self.assertRefused(lambda: self.source.write_attribute("Frequency", -5.0), "API_WAttrOutsideLimit", "")
        # The instrument's own refusal reaches the client with the driver's
        # status code and the instrument's message; the setting stays.
        self.assertRefused(lambda: self.source.write_attribute("VoltageRange", 5000.0), "hvzelta:-",
                           "Data out of range")
        self.assertEqual(self.source.Frequency, 50.0)
        self.assertEqual(self.source.VoltageRange, 310.0)
        self.assertEqual(self.source.ErrorQuery(), "0, No error")
        # The level's range follows the voltage range.
        self.source.VoltageRange = 155.0
        low = float(self.source.get_attribute_config("VoltageLevel").max_value)
        self.source.VoltageRange = 310.0
        self.assertLess(low, float(self.source.get_attribute_config("VoltageLevel").max_value))
        self.source.VoltageLevel = 200.0

    def test_commands_identity_and_measurements(self):
        self.assertEqual(self.source.Model, "ZTA100")
        self.assertIn("ZTA100", self.source.Query("*IDN?"))
        self.assertTrue(self.source.SelfTest().startswith("0, "))
        self.source.VoltageLevel = 20.0
        self.source.On()
        self.assertEqual(self.source.state(), tango.DevState.ON)
        self.assertAlmostEqual(self.source.VoltageAC, 20.0, delta=1.0)
        self.assertAlmostEqual(self.source.CurrentAC, 2.0, delta=0.2)
        for name in ("CurrentDC", "VoltageDC", "PowerDC", "MeasuredFrequency", "CurrentMax", "CurrentMaxHold",
                     "CurrentCrestFactor", "PowerAC", "ApparentPower", "ReactivePower", "PowerFactor"):
            with self.subTest(name):
                self.assertIsInstance(self.source.read_attribute(name).value, float)
        self.source.Initiate()
        self.source.Abort()
        # Nothing waits for a trigger: the instrument's refusal is an error.
        self.assertRefused(self.source.SendSoftwareTrigger, "hvzelta:-", "Trigger ignored")
        self.source.Write("VOLT 30")
        self.assertEqual(self.source.VoltageLevel, 30.0)
        self.source.Off()
        self.assertEqual(self.source.state(), tango.DevState.OFF)
        self.source.Reset()
        self.assertEqual(self.source.VoltageLevel, 0.0)

    def test_change_events_follow_the_current(self):
        events = queue.Queue()
        self.source.VoltageLevel = 10.0
        self.source.On()
        subscription = self.source.subscribe_event("CurrentAC", tango.EventType.CHANGE_EVENT, events.put)
        self.addCleanup(self.source.unsubscribe_event, subscription)
        self.source.VoltageLevel = 30.0  # 1 A becomes 3 A
        deadline = time.monotonic() + EVENT_SECONDS
        values = []
        while not values or abs(values[-1] - 3.0) > 0.1:
            remaining = deadline - time.monotonic()
            self.assertGreater(remaining, 0, f"no change event to 3 A within {EVENT_SECONDS} s: {values}")
            try:
                event = events.get(timeout=remaining)
            except queue.Empty:
                continue
            self.assertFalse(event.err, event.errors)
            values.append(event.attr_value.value)

    def test_two_client_processes_get_their_own_replies(self):
        # One process writes the level and reads it back while the other reads
        # a setting and the identity: each reply must be the one asked for.
        address = f"tango://127.0.0.1:{self.server.port}/test/ac/1#dbase=no"
        self.source.Frequency = 50.0
        writer = CLIENT_PREAMBLE + """
for turn in range(ROUNDS):
    level = 10.0 + turn % 20
    source.VoltageLevel = level
    assert source.VoltageLevel == level, (turn, level)
"""
        reader = CLIENT_PREAMBLE + """
for turn in range(ROUNDS):
    assert source.Frequency == 50.0, turn
    assert source.Model == "ZTA100", turn
    assert isinstance(source.CurrentAC, float), turn
"""
        clients = [subprocess.Popen([sys.executable, "-c", script, address], stderr=subprocess.PIPE)
                   for script in (writer, reader)]
        for client in clients:
            try:
                _, errors = client.communicate(timeout=CLIENT_SECONDS)
            except subprocess.TimeoutExpired:
                client.kill()
                _, errors = client.communicate()
            self.assertEqual(client.returncode, 0, errors.decode(errors="replace"))

    def test_no_resource_or_a_lost_connection_is_a_fault_a_trip_an_alarm_and_init_recovers(self):
        spare = self.server.proxy("test/ac/2")
        self.assertEqual(spare.state(), tango.DevState.FAULT)
        self.assertIn("Resource", spare.status())
        self.assertRefused(lambda: spare.VoltageLevel, "hvzelta:NotConnected", "run Init")
        # Its neighbour in the same server works on.
        self.assertEqual(self.source.state(), tango.DevState.OFF)

        self.source.CurrentLimitBehavior = 1
        self.source.CurrentLimit = 1.0
        self.source.VoltageLevel = 100.0
        self.source.On()
        self.assertEqual(self.source.state(), tango.DevState.ALARM)
        self.assertIn("ClearProtection", self.source.status())
        self.assertEqual(self.source.state(), tango.DevState.ALARM)
        self.source.VoltageLevel = 5.0
        self.source.ClearProtection()
        self.assertEqual(self.source.state(), tango.DevState.ON)
        # Any protection condition the instrument raises, not only over-current.
        self.source.Write("DIAG:QUES 16")
        self.assertEqual(self.source.state(), tango.DevState.ALARM)
        self.assertIn("over-temperature", self.source.status())
        self.source.Write("DIAG:QUES 0")
        self.source.ClearProtection()
        self.assertEqual(self.source.state(), tango.DevState.ON)

        port = self.emulator.endpoints["socket"].rsplit(":", 1)[1]
        self.emulator.stop()
        self.assertRaises(tango.DevFailed, lambda: self.source.VoltageLevel)
        self.assertEqual(self.source.state(), tango.DevState.FAULT)
        self.assertIn("Init", self.source.status())

        self.emulator = Emulator("ZTA100", ("--resistance", LOAD_OHM, "--port", port)).start()
        self.source.Init()
        self.assertEqual(self.source.state(), tango.DevState.OFF)
        self.assertEqual(self.source.Model, "ZTA100")


if __name__ == "__main__":
    unittest.main()
