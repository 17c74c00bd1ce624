"""The example programs against the emulator and in simulation, so they never rot."""

import os
import subprocess
import sys
import unittest

from hvzelta import Emulator
from hvzelta.emulator import _native_environment

RUN_SECONDS = 30


def _example_commands():
    """Each example's command line and environment."""
    python_example = os.path.join(os.environ["HVZELTA_EXAMPLES_DIR"], "python", "ac_source.py")
    return {"C": ([os.environ["HVZELTA_EXAMPLE_C"]], _native_environment()),
            "C++": ([os.environ["HVZELTA_EXAMPLE_CPP"]], _native_environment()),
            "Python": ([sys.executable, python_example], os.environ)}


def _run(example, *arguments):
    command, environment = example
    return subprocess.run(command + list(arguments), capture_output=True, text=True, timeout=RUN_SECONDS,
                          env=environment)


class ExamplesTest(unittest.TestCase):
    def test_each_example_measures_on_the_emulator_and_reports_a_failure_with_the_driver_text(self):
        with Emulator(model="ZTA200") as emulator:
            for language, example in _example_commands().items():
                with self.subTest(language):
                    result = _run(example, emulator.resource)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertRegex(result.stdout, r"instrument model +ZTA200")
                    self.assertRegex(result.stdout, r"measured +115(\.00)? V")
                    result = _run(example, "TCPIP::127.0.0.1::1::SOCKET")
                    self.assertEqual(result.returncode, 1)
                    self.assertIn("Failed to open VISA resource", result.stderr)
                    self.assertIn("connection refused by 127.0.0.1:1", result.stderr)


if __name__ == "__main__":
    unittest.main()
