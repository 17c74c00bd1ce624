"""The package against the ZTA emulator over a raw socket on loopback."""

import struct
import unittest

import hvzelta
from hvzelta import Emulator, StatusCode

_emulator = Emulator(model="ZTA300")


def setUpModule():
    _emulator.start()
    unittest.addModuleCleanup(_emulator.stop)


class InstrumentTest(unittest.TestCase):
    def setUp(self):
        self.drv = hvzelta.Driver(_emulator.resource, id_query=True, reset=True, options="Simulate=false")
        self.addCleanup(self.drv.close)
        self.output = self.drv.output

    def test_enumerated_settings_read_back_as_their_enumerations(self):
        for name, given, member in (("trigger_source", "SwTrigFunc", hvzelta.TriggerSource.SW_TRIG_FUNC),
                                    ("average", hvzelta.Average.AVERAGE_4, hvzelta.Average.AVERAGE_4),
                                    ("coupling_mode", 3, hvzelta.CouplingMode.ACDC)):
            setattr(self.output, name, given)
            self.assertIs(getattr(self.output, name), member, name)

    def test_what_the_instrument_lacks_is_marked_and_fails_as_not_supported(self):
        for target in (self.drv, self.drv.phases["OutputPhase1"]):
            for name, member in vars(type(target)).items():
                if not isinstance(member, property) or "HVZELTA_ATTR_" not in (member.__doc__ or ""):
                    continue
                with self.subTest(name):
                    if member.__doc__.startswith("Not supported by the instrument"):
                        with self.assertRaises(hvzelta.DriverError) as failure:
                            getattr(target, name)
                        self.assertEqual(failure.exception.code, StatusCode.ERROR_ATTRIBUTE_NOT_SUPPORTED)
                    else:
                        getattr(target, name)

    def test_the_logger_at_debug_receives_the_messages_of_sessions_opened_then(self):
        with self.assertLogs("hvzelta", "DEBUG") as log:
            with hvzelta.Driver(_emulator.resource, options="Simulate=false") as drv:
                drv.query("*IDN?")
        lines = [record.getMessage() for record in log.records]
        self.assertRegex(lines[0], r"^session \d+ open TCPIP::")
        self.assertIn('write 6 bytes "*IDN?\\n"', "\n".join(lines))
        self.assertRegex(lines[-2], r'read \d+ bytes "Halvorn,ZTA300,.*\\n"$')

    def test_replies_become_values(self):
        self.output.voltage_range = 310
        self.assertEqual(list(self.drv.query_ascii_values("VOLT:RANG?")), [310.0])
        self.assertEqual(list(self.drv.query_ascii_values("*IDN?", converter=str))[:2], ["Halvorn", "ZTA300"])
        with self.assertRaisesRegex(ValueError, "not a list of values"):
            self.drv.query_ascii_values("*IDN?")
        # The emulator sends no blocks: its replies are stood in for.
        replies = [b"#216" + struct.pack(">2d", 1.5, -2.0) + b"\n", b"#3016" + bytes(8), b"+1.0\n"]
        self.drv.read = lambda max_size: replies.pop(0)
        self.assertEqual(list(self.drv.query_binary_values("TRAC?", is_big_endian=True)), [1.5, -2.0])
        with self.assertRaisesRegex(ValueError, "announces 16 bytes but has 8"):
            self.drv.query_binary_values("TRAC?")
        with self.assertRaisesRegex(ValueError, "not a definite-length block"):
            self.drv.query_binary_values("TRAC?")


if __name__ == "__main__":
    unittest.main()
