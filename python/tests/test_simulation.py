"""Sessions in simulation: opening, closing, errors with their codes and texts."""

import gc
import unittest

import hvzelta
from hvzelta import StatusCode, _library

RESOURCE = "TCPIP::127.0.0.1::5025::SOCKET"
OPTIONS = "Simulate=true, DriverSetup=Model=ZTA200"


class SessionTest(unittest.TestCase):
    def assertClosed(self, session):
        with self.assertRaises(hvzelta.DriverError) as caught:
            _library.library().call(session, "ClearError", session)
        self.assertEqual((caught.exception.code, caught.exception.description),
                         (StatusCode.ERROR_INVALID_SESSION_HANDLE, "Invalid session handle."))

    def test_a_session_is_closed_by_the_context_manager_when_its_block_fails_and_when_collected(self):
        with self.assertRaises(KeyError):
            with hvzelta.Driver(RESOURCE, options=OPTIONS) as drv:
                _library.library().call(drv.session, "ClearError", drv.session)
                raise KeyError("in the block")
        self.assertTrue(drv.closed)
        self.assertClosed(drv.session)
        session = hvzelta.Driver(RESOURCE, options=OPTIONS).session
        gc.collect()
        self.assertClosed(session)

    def test_a_closed_session_refuses_calls_with_the_invalid_session_status(self):
        drv = hvzelta.Driver(RESOURCE, options=OPTIONS)
        drv.close()
        drv.close()
        with self.assertRaises(hvzelta.DriverError) as caught:
            drv.output.voltage_level = 1
        self.assertEqual(caught.exception.code, StatusCode.ERROR_INVALID_SESSION_HANDLE)


class SimulatedDriverTest(unittest.TestCase):
    def setUp(self):
        self.drv = hvzelta.Driver(RESOURCE, id_query=True, reset=True, options=OPTIONS)
        self.addCleanup(self.drv.close)

    def test_outputs_and_phases_are_found_by_name_and_index(self):
        self.assertEqual(self.drv.outputs.names(), ["Output1"])
        self.assertEqual(self.drv.outputs[-1].name, "Output1")
        self.drv.outputs["Output1"].voltage_level = 100
        self.assertEqual(self.drv.get_attribute(1150016, "Output1"), 100.0)
        self.assertEqual([phase.name for phase in self.drv.phases], ["OutputPhase1"])
        with self.assertRaisesRegex(IndexError, "there are 1"):
            self.drv.phases[1]

    def test_mistakes_in_python_are_python_errors(self):
        with self.assertRaises(AttributeError):
            self.drv.instrument_model = "ZTA999"
        with self.assertRaisesRegex(ValueError, "no attribute"):
            self.drv.get_attribute(42)
        # A wrong type names the parameter, not ctypes' argument number.
        with self.assertRaisesRegex(TypeError, r"^voltage_level: a number is needed, not str"):
            self.drv.output.voltage_level = "230"
        with self.assertRaisesRegex(TypeError, "^resource: "):
            hvzelta.Driver(None)
        with self.assertRaisesRegex(TypeError, "^measurement_type: a MeasurementType is needed"):
            self.drv.output.measure(None)
        with self.assertRaisesRegex(ValueError, "^trigger_source: 'Sometimes' is not a TriggerSource; one of IMM"):
            self.drv.output.trigger_source = "Sometimes"


if __name__ == "__main__":
    unittest.main()
