"""The package's view of hvzelta.h: the generated declarations, names and values."""

import os
import pathlib
import re
import unittest
import warnings

import hvzelta
from hvzelta import _attributes, _header

HEADER = pathlib.Path(__file__).resolve().parents[2] / "include" / "hvzelta.h"
# The part of the header the build writes from the output's settings.
GENERATED = pathlib.Path(os.environ["HVZELTA_GENERATED_INCLUDE"]) / "hvzelta" / "output_settings.h"


class GeneratedDeclarationsTest(unittest.TestCase):
    def test_nothing_the_header_declares_is_left_out(self):
        header = HEADER.read_text() + GENERATED.read_text()
        self.assertEqual(len(_header.FUNCTIONS), header.count("HVZELTA_C_API ViStatus hvzelta_"))
        self.assertEqual(len(_header.ATTRIBUTES), len(re.findall(r"^#define HVZELTA_ATTR_", header, re.M)))
        values = sum(len(cls) for cls in vars(_header).values()
                     if isinstance(cls, type) and issubclass(cls, int) and cls is not _header.StatusCode)
        self.assertEqual(values, len(re.findall(r"^#define HVZELTA_VAL_", header, re.M)))
        self.assertEqual(len(_header.StatusCode),
                         len(re.findall(r"^#define HVZELTA_(?:ERROR|WARN)_\w+ \(\(ViStatus\)", header, re.M)))


class NamesTest(unittest.TestCase):
    def test_values_are_taken_by_member_number_and_either_spelling_of_the_name_but_no_other_number(self):
        for spelling in (hvzelta.MeasurementType.VOLTAGE_AC, 1011, "VOLTAGE_AC", "VoltageAC", "voltageac"):
            self.assertIs(hvzelta.MeasurementType.coerce(spelling), hvzelta.MeasurementType.VOLTAGE_AC)
        with self.assertRaises(ValueError):
            hvzelta.TriggerSource.coerce(1)

    def test_property_names_drop_the_output_prefix_of_per_output_attributes_only(self):
        names = {row.c_name: _attributes.python_name(row) for row in _attributes.ATTRIBUTES}
        self.assertEqual(names["OUTPUT_VOLTAGE_LEVEL"], "voltage_level")
        self.assertEqual(names["OUTPUT_COUNT"], "output_count")
        self.assertEqual(names["OUTPUT_PHASE_COUNT"], "output_phase_count")

    def test_an_unknown_option_name_warns_and_driver_setup_keys_do_not(self):
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            hvzelta.Driver("", options="Simulate=true, Simulat=true, DriverSetup=Model=ZTA300, TraceArray=false").close()
        self.assertEqual([str(warning.message).split(" in ")[0] for warning in caught], ["unknown option 'Simulat'"])


if __name__ == "__main__":
    unittest.main()
