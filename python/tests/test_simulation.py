"""Sessions in simulation: opening, closing, errors with their codes and texts."""

import gc
import unittest

import hvzelta
from hvzelta import StatusCode, _library

RESOURCE = "TCPIP::127.0.0.1::5025::SOCKET"
OPTIONS = "Simulate=true, DriverSetup=Model=ZTA200"


def _handle_is_live(session):
    try:
        _library.library().call(session, "ClearError", session)
    except hvzelta.DriverError as error:
        if error.code == StatusCode.ERROR_INVALID_SESSION_HANDLE:
            return False
        raise
    return True


class SessionTest(unittest.TestCase):
    def test_the_context_manager_closes_the_session_even_when_the_block_fails(self):
        with self.assertRaises(KeyError):
            with hvzelta.Driver(RESOURCE, options=OPTIONS) as drv:
                self.assertTrue(_handle_is_live(drv.session))
                raise KeyError("in the block")
        self.assertTrue(drv.closed)
        self.assertFalse(_handle_is_live(drv.session))

    def test_a_closed_session_refuses_calls_with_the_invalid_session_status(self):
        drv = hvzelta.Driver(RESOURCE, options=OPTIONS)
        drv.close()
        drv.close()
        with self.assertRaises(hvzelta.DriverError) as caught:
            drv.output.voltage_level = 1
        self.assertEqual(caught.exception.code, StatusCode.ERROR_INVALID_SESSION_HANDLE)
        self.assertEqual(caught.exception.description, "Invalid session handle.")

    def test_a_forgotten_session_is_closed_when_the_driver_is_collected(self):
        session = hvzelta.Driver(RESOURCE, options=OPTIONS).session
        gc.collect()
        self.assertFalse(_handle_is_live(session))


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
        with self.assertRaisesRegex(ValueError, "^trigger_source: 'Sometimes' is not a TriggerSource"):
            self.drv.output.trigger_source = "Sometimes"


if __name__ == "__main__":
    unittest.main()
