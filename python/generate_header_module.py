#!/usr/bin/python3
"""Writes hvzelta/_header.py from hvzelta.h: the C functions with their
parameters, the attributes, the enumerated values and the status codes, so
that the package never restates the header by hand. Run by the CMake build and
by `pip install` (setup.py), each with the header it builds against.

    generate_header_module.py HEADER VERSION OUTPUT [INCLUDE_DIR ...]

VERSION is the library's, which the package gives as hvzelta.__version__.
The header's own #include "hvzelta/..." lines are read from the header's
folder or an INCLUDE_DIR (the build writes some of them).
"""

import pathlib
import re
import sys

# Each HVZELTA_VAL_ prefix and the enumeration its values make, longer
# prefixes first (MEASURE_ARRAY_ before MEASURE_). A member keeps the prefix
# given third (AVERAGE_1, not 1, which is no name).
ENUMERATIONS = (
    ("MEASUREMENT_TYPE_", "MeasurementType", ""),
    ("MEASUREMENT_GROUP_", "MeasurementGroup", ""),
    ("MEASURE_ARRAY_", "PhaseMeasurementArray", ""),
    ("MEASURE_", "PhaseMeasurement", ""),
    ("AMMETER_ITEM_", "AmmeterItem", ""),
    ("AVERAGE_", "Average", "AVERAGE_"),
    ("COUPLING_MODE_", "CouplingMode", ""),
    ("CURRENT_LIMIT_BEHAVIOR_", "CurrentLimitBehavior", ""),
    ("HOLD_TIME_", "HoldTime", ""),
    ("TRIGGER_SOURCE_", "TriggerSource", ""),
    ("OUTPUT_STATE_", "OutputState", ""),
    ("MODE_", "DCGenerationMode", ""),
    ("WAVEFORM_CATALOG_", "WaveformCatalog", ""),
)
# Enumerations whose values are bits to combine.
FLAGS = {"MeasurementGroup"}

_FUNCTION = re.compile(r"HVZELTA_C_API ViStatus hvzelta_(\w+)\(([^)]*)\);")
_PARAMETER = re.compile(r"(?:const )?(\w+)(\*?) ?(\w+)(\[\])?")
_ATTRIBUTE = re.compile(
    r"#define HVZELTA_ATTR_(\w+) (\d+) +/\* (Vi\w+), (read/write|read-only)((?:, [^,*]+)*) \*/")
_VALUE = re.compile(r"#define HVZELTA_VAL_(\w+) (-?\d+)")
_GROUP_COMMENT = re.compile(r"/\* (.+) \*/")
_VALUES_NOTE = re.compile(r"values HVZELTA_VAL_(\w+_)")
_SETTING_COMMENT = re.compile(r"/\* (\w+): values HVZELTA_VAL_(\w+_) \*/")
_INCLUDE = re.compile(r'#include "(hvzelta/\w+\.h)"')
_STATUS = re.compile(r"#define HVZELTA_((?:WARN|ERROR)_\w+) \(\(ViStatus\)(.+)\)$")
_BASE = re.compile(r"#define (HVZELTA_IVI_\w+_BASE) (.+)$")
_TERM = re.compile(r"[A-Z_]\w*|0x[0-9A-Fa-f]+L?|\d+L?|[()+-]")


class HeaderError(Exception):
    pass


def _evaluate(expression, names):
    """The value of a status code's expression: hex numbers, known names, + and ()."""
    python = []
    for term in _TERM.findall(expression):
        if term[0].isalpha() or term[0] == "_":
            if term not in names:
                raise HeaderError(f"unknown name {term} in {expression!r}")
            python.append(str(names[term]))
        else:
            python.append(term.rstrip("L"))
    value = eval(" ".join(python), {"__builtins__": {}})  # only numbers and + - ( ) reach here
    value &= 0xFFFFFFFF  # the ViStatus cast
    return value - (1 << 32) if value & 0x80000000 else value


def _functions(text):
    functions = {}
    for name, parameters in _FUNCTION.findall(" ".join(text.split())):
        parsed = []
        for parameter in parameters.split(","):
            match = _PARAMETER.fullmatch(parameter.strip())
            if not match:
                raise HeaderError(f"hvzelta_{name}: cannot read the parameter {parameter.strip()!r}")
            type_name, pointer, parameter_name, array = match.groups()
            parsed.append((parameter_name, type_name + ("[]" if array else pointer)))
        functions[name] = tuple(parsed)
    return functions


def expand_includes(header, folders=()):
    """The header's text with its #include "hvzelta/..." lines replaced by the
    files they name, from the header's folder or the given ones."""
    text = header.read_text()

    def included(match):
        for folder in [header.parent, *folders]:
            path = pathlib.Path(folder) / match.group(1)
            if path.exists():
                return path.read_text()
        raise HeaderError(f"{match.group(1)} not found: the build writes it; build or install the driver first")

    return _INCLUDE.sub(included, text)


def _enumeration_of(values_prefix):
    owner = next((entry for entry in ENUMERATIONS if entry[0] == values_prefix), None)
    if owner is None:
        raise HeaderError(f"HVZELTA_VAL_{values_prefix} is no enumeration of the generator's table")
    return owner[1]


def _attributes(lines):
    attributes = []
    for line in lines:
        if not line.startswith("#define HVZELTA_ATTR_"):
            continue
        match = _ATTRIBUTE.match(line)
        if not match:
            raise HeaderError(f"cannot read the attribute line {line!r}")
        name, number, value_type, access, notes = match.groups()
        values = _VALUES_NOTE.search(notes)
        notes = [note.strip() for note in notes.split(",")]
        scope = "output phase" if "per output phase" in notes else "output" if "per output" in notes else "driver"
        enumeration = _enumeration_of(values.group(1)) if values else None
        attributes.append((name, int(number), value_type, access == "read/write", scope, enumeration))
    return attributes


def _setting_enumerations(lines):
    """{setting: enumeration} of the output's settings whose values an enumeration names."""
    return {match.group(1): _enumeration_of(match.group(2))
            for match in map(_SETTING_COMMENT.fullmatch, lines) if match}


def _enumerations(lines):
    """{class name: (comment of the group, [(member, value), ...])}, in the header's order."""
    found = {}
    comment = ""
    for line in lines:
        group = _GROUP_COMMENT.fullmatch(line)
        if group:
            comment = group.group(1)
        value = _VALUE.match(line)
        if not value:
            continue
        name, number = value.groups()
        owner = next((entry for entry in ENUMERATIONS if name.startswith(entry[0])), None)
        if owner is None:
            raise HeaderError(f"HVZELTA_VAL_{name} belongs to no enumeration of the generator's table")
        prefix, class_name, member_prefix = owner
        found.setdefault(class_name, (comment, []))[1].append((member_prefix + name[len(prefix):], int(number)))
    return found


def _status_codes(lines):
    names = {"_VI_ERROR": -(1 << 31)}
    codes = []
    for line in lines:
        base = _BASE.match(line)
        if base:
            names[base.group(1)] = _evaluate(base.group(2), names)
        status = _STATUS.match(line)
        if status:
            codes.append((status.group(1), _evaluate(status.group(2), names)))
    return codes


def generate(header_text, version):
    """The text of _header.py for the header's text and the library's version."""
    lines = header_text.splitlines()
    out = ['"""The C interface as hvzelta.h declares it. Generated from hvzelta.h by',
           'generate_header_module.py: do not edit."""',
           "",
           "import enum",
           "",
           "from ._parsable import Parsable",
           "",
           f"VERSION = {version!r}",
           "",
           "# hvzelta_<name>: ((parameter name, C type), ...); every function returns a ViStatus.",
           "FUNCTIONS = {"]
    for name, parameters in _functions(header_text).items():
        out.append(f"    {name!r}: {parameters!r},")
    out.append("}")
    for class_name, (comment, members) in _enumerations(lines).items():
        base = "enum.IntFlag" if class_name in FLAGS else "Parsable"
        out += ["", f"class {class_name}({base}):", f'    """{comment}."""', ""]
        out += [f"    {member} = {value}" for member, value in members]
        out.append("")
    out += ["", "class StatusCode(enum.IntEnum):",
            '    """The status codes the C interface names (HVZELTA_ERROR_*, HVZELTA_WARN_*)."""', ""]
    out += [f"    {name} = {value}" for name, value in _status_codes(lines)]
    out += ["", "",
            "# HVZELTA_ATTR_<name>: (name, id, C type, writable, channel scope, enumeration or None).",
            "ATTRIBUTES = ("]
    out += [f"    ({', '.join(map(repr, row[:-1]))}, {row[-1]})," for row in _attributes(lines)]
    out += [")", "", "# The output's settings (hvzelta_Get<name>/hvzelta_Set<name>) whose values are an enumeration.",
            "SETTING_ENUMERATIONS = {"]
    out += [f"    {name!r}: {enumeration}," for name, enumeration in _setting_enumerations(lines).items()]
    out.append("}")
    return "\n".join(out) + "\n"


def main(arguments):
    if len(arguments) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    header, version, output = pathlib.Path(arguments[0]), arguments[1], pathlib.Path(arguments[2])
    try:
        text = generate(expand_includes(header, arguments[3:]), version)
    except (OSError, HeaderError) as error:
        print(f"{header}: {error}", file=sys.stderr)
        return 1
    output.parent.mkdir(parents=True, exist_ok=True)
    output.write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
