"""The package's tables against hvzelta.h: functions, attributes, values and status codes."""

import ctypes
import pathlib
import re
import unittest

from hvzelta import _attributes, _capi, enums, errors

HEADER = pathlib.Path(__file__).resolve().parents[2] / "include" / "hvzelta.h"

# The C parameter types as ctypes declares them.
_SCALARS = {
    "ViSession": ctypes.c_uint32, "ViAttr": ctypes.c_uint32, "ViStatus": ctypes.c_int32,
    "ViInt16": ctypes.c_int16, "ViInt32": ctypes.c_int32, "ViInt64": ctypes.c_int64,
    "ViReal64": ctypes.c_double, "ViBoolean": ctypes.c_uint16,
    "ViConstString": ctypes.c_char_p, "ViConstRsrc": ctypes.c_char_p, "ViConstBuf": ctypes.c_char_p,
}
_ARRAYS = {"ViChar": ctypes.POINTER(ctypes.c_char), "ViByte": ctypes.POINTER(ctypes.c_char),
           "ViReal64": ctypes.POINTER(ctypes.c_double)}


def _ctype(parameter):
    match = re.fullmatch(r"(?:const )?(\w+)(\*?) ?\w+(\[\])?", parameter.strip())
    type_name, pointer, array = match.groups()
    if array:
        return _ARRAYS[type_name]
    return ctypes.POINTER(_SCALARS[type_name]) if pointer else _SCALARS[type_name]


class HeaderTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.header = HEADER.read_text()

    def defines(self, prefix):
        return re.findall(rf"#define HVZELTA_{prefix}(\w+) (.+)", self.header)

    def test_every_function_is_declared_with_the_header_parameter_types(self):
        declared = {}
        for name, parameters in re.findall(r"HVZELTA_C_API ViStatus hvzelta_(\w+)\(([^)]*)\);", self.header):
            declared[name] = tuple(_ctype(parameter) for parameter in " ".join(parameters.split()).split(","))
        self.assertEqual(len(declared), 132)
        self.assertEqual(sorted(_capi.SIGNATURES), sorted(declared))
        for name, parameters in declared.items():
            self.assertEqual(_capi.SIGNATURES[name], parameters, name)

    def test_every_attribute_has_its_row_with_type_access_and_channel(self):
        rows = {}
        pattern = r"#define HVZELTA_ATTR_(\w+) (\d+) +/\* (\w+), (read/write|read-only)(?:, ([^*]*?))? \*/"
        for c_name, number, value_type, access, notes in re.findall(pattern, self.header):
            scope = {"per output": _attributes.OUTPUT, "per output phase": _attributes.PHASE}.get(
                (notes or "").split(",")[0].strip(), _attributes.DRIVER)
            rows[c_name] = (int(number), value_type, access == "read/write", scope)
        self.assertEqual(len(rows), 78)
        table = {row.c_name: (row.id, row.type, row.writable, row.scope) for row in _attributes.ATTRIBUTES}
        self.assertEqual(table, rows)

    def test_every_value_belongs_to_its_enumeration(self):
        # Longer prefixes first: MEASURE_ARRAY_ before MEASURE_.
        owners = [("MEASUREMENT_TYPE_", enums.MeasurementType, ""), ("MEASUREMENT_GROUP_", enums.MeasurementGroup, ""),
                  ("MEASURE_ARRAY_", enums.PhaseMeasurementArray, ""), ("MEASURE_", enums.PhaseMeasurement, ""),
                  ("AMMETER_ITEM_", enums.AmmeterItem, ""), ("AVERAGE_", enums.Average, "AVERAGE_"),
                  ("COUPLING_MODE_", enums.CouplingMode, ""),
                  ("CURRENT_LIMIT_BEHAVIOR_", enums.CurrentLimitBehavior, ""), ("HOLD_TIME_", enums.HoldTime, ""),
                  ("TRIGGER_SOURCE_", enums.TriggerSource, ""), ("OUTPUT_STATE_", enums.OutputState, ""),
                  ("MODE_", enums.DCGenerationMode, ""), ("WAVEFORM_CATALOG_", enums.WaveformCatalog, "")]
        seen = {enum: {} for _, enum, _ in owners}
        for name, value in self.defines("VAL_"):
            prefix, enum, member_prefix = next(owner for owner in owners if name.startswith(owner[0]))
            seen[enum][member_prefix + name[len(prefix):]] = int(value)
        for enum, members in seen.items():
            self.assertEqual({member.name: member.value for member in enum}, members, enum.__name__)

    def test_every_status_code_has_its_value(self):
        bases = {"HVZELTA_IVI_WARN_BASE": 0x3FFA0000, "HVZELTA_IVI_ERROR_BASE": -0x80000000 + 0x3FFA0000,
                 "HVZELTA_IVI_CLASS_ERROR_BASE": -0x80000000 + 0x3FFA2000,
                 "HVZELTA_IVI_SPECIFIC_ERROR_BASE": -0x80000000 + 0x3FFA4000}
        codes = {}
        for kind in ("WARN_", "ERROR_"):
            for name, definition in self.defines(kind):
                relative = re.search(r"\((HVZELTA_\w+) \+ (0x[0-9A-F]+)L\)", definition)
                if relative:
                    codes[kind + name] = bases[relative.group(1)] + int(relative.group(2), 16)
                else:
                    absolute = int(re.search(r"\)(0x[0-9A-F]+)L\)", definition).group(1), 16)
                    codes[kind + name] = absolute - (1 << 32) if absolute & 0x80000000 else absolute
        self.assertEqual({code.name: code.value for code in errors.StatusCode}, codes)


class NamesTest(unittest.TestCase):
    def test_values_are_taken_by_member_number_and_either_spelling_of_the_name(self):
        for spelling in (enums.MeasurementType.VOLTAGE_AC, 1011, "VOLTAGE_AC", "VoltageAC", "voltageac"):
            self.assertIs(enums.MeasurementType.coerce(spelling), enums.MeasurementType.VOLTAGE_AC)

    def test_an_unknown_name_or_number_is_refused_with_the_choices(self):
        with self.assertRaisesRegex(ValueError, "VoltageACDC.*VOLTAGE_AC"):
            enums.MeasurementType.coerce("VoltageACDC")
        with self.assertRaises(ValueError):
            enums.TriggerSource.coerce(1)

    def test_property_names_drop_the_output_prefix_of_per_output_attributes_only(self):
        names = {row.c_name: _attributes.python_name(row) for row in _attributes.ATTRIBUTES}
        self.assertEqual(names["OUTPUT_VOLTAGE_LEVEL"], "voltage_level")
        self.assertEqual(names["OUTPUT_COUNT"], "output_count")
        self.assertEqual(names["OUTPUT_PHASE_COUNT"], "output_phase_count")


if __name__ == "__main__":
    unittest.main()
