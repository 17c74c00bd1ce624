"""The example programs against the emulator and in simulation, so they never rot."""

import os
import subprocess
import sys
import unittest

from emulator import Emulator

RUN_SECONDS = 30


def _example_commands():
    python_example = os.path.join(os.environ["HVZELTA_EXAMPLES_DIR"], "python", "ac_source.py")
    return {"C": [os.environ["HVZELTA_EXAMPLE_C"]], "C++": [os.environ["HVZELTA_EXAMPLE_CPP"]],
            "Python": [sys.executable, python_example]}


def _run(command):
    return subprocess.run(command, capture_output=True, text=True, timeout=RUN_SECONDS)


class ExamplesTest(unittest.TestCase):
    def test_each_example_sets_up_the_emulator_and_measures(self):
        with Emulator("--model", "ZTA200") as emulator:
            for language, command in _example_commands().items():
                with self.subTest(language):
                    result = _run(command + [emulator.resource])
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertRegex(result.stdout, r"instrument model +ZTA200")
                    self.assertRegex(result.stdout, r"measured +115(\.00)? V")

    def test_each_example_runs_in_simulation(self):
        for language, command in _example_commands().items():
            with self.subTest(language):
                result = _run(command)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertRegex(result.stdout, r"voltage level +115(\.0)? V")
                self.assertNotIn("measured", result.stdout)

    def test_a_failure_is_reported_with_the_driver_text(self):
        for language, command in _example_commands().items():
            with self.subTest(language):
                result = _run(command + ["TCPIP::127.0.0.1::1::SOCKET"])
                self.assertEqual(result.returncode, 1)
                self.assertIn("Unknown resource", result.stderr)


if __name__ == "__main__":
    unittest.main()
