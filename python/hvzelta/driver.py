"""The Pythonic driver: a session, its outputs and output phases."""

import array
import ctypes
import re
import sys
import warnings
import weakref
from typing import Any, Callable, List, Sequence, Tuple, Union

try:
    import numpy
except ImportError:  # the helpers then return lists
    numpy = None

from . import _attributes, _capi, _header, _library
from .errors import DriverError


def _snake_case(camel_case):
    return re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "_", camel_case).lower()


def _to_c(value_type, enum, value, parameter):
    if enum is not None:
        return enum.coerce(value, parameter)
    if value_type is _capi.ViBoolean:
        return 1 if value else 0
    if value_type is _capi.ViConstString:
        return str(value).encode("utf-8")
    return value


def _from_c(value_type, enum, value):
    if value_type is _capi.ViBoolean:
        return bool(value)
    if enum is not None:
        try:
            return enum(value)
        except ValueError:
            return value
    return value


def _encode(text):
    return text.encode("utf-8")


# An enumerated argument: the member, its number or its name.
MeasurementTypeLike = Union[_header.MeasurementType, int, str]
CouplingModeLike = Union[_header.CouplingMode, int, str]
OutputStateLike = Union[_header.OutputState, int, str]


# The option names the driver reads; it keeps any other and never complains.
_OPTION_NAMES = ("Simulate", "QueryInstrStatus", "RangeCheck", "Cache", "RecordCoercions", "InterchangeCheck",
                 "DriverSetup")


def _warn_unknown_options(options):
    """Warns of each option name the driver does not read (a misspelt "Simulate"
    would otherwise open the real instrument)."""
    known = {name.casefold() for name in _OPTION_NAMES}
    for pair in options.split(","):
        name = pair.partition("=")[0].strip()
        if name.casefold() == "driversetup":
            return  # the rest belongs to DriverSetup
        if name and name.casefold() not in known:
            warnings.warn(f"unknown option {name!r} in the option string is ignored; the options are "
                          f"{', '.join(_OPTION_NAMES)}", UserWarning, stacklevel=3)


def _block_data(reply, command):
    """The data of the definite-length block `reply` starts with."""
    if reply[:1] != b"#" or not reply[1:2].isdigit() or reply[1:2] == b"0":
        raise ValueError(f"the reply to {command!r} is not a definite-length block: {reply[:20]!r}")
    digits = int(reply[1:2])
    length = reply[2:2 + digits]
    if len(length) != digits or not length.isdigit():
        raise ValueError(f"the reply to {command!r} has a malformed block header: {reply[:2 + digits]!r}")
    data = reply[2 + digits:2 + digits + int(length)]
    if len(data) != int(length):
        raise ValueError(f"the block of the reply to {command!r} announces {int(length)} bytes but has {len(data)}")
    return data


class _Outputs:
    """An out-parameter per C type: ``out = _Outputs(ViReal64, ViInt32)``, then
    ``*out.pointers`` in the call and ``out.values`` after it."""

    def __init__(self, *types):
        self._cells = [value_type() for value_type in types]
        self.pointers = [ctypes.byref(cell) for cell in self._cells]

    @property
    def values(self) -> List[Any]:
        return [cell.value for cell in self._cells]


class _Session:
    """What every part of a driver shares: the library and the session handle."""

    # The channel name of the part's attributes: none for the driver itself.
    _channel = ""

    def __init__(self, driver):
        self._driver = driver

    def _call(self, name, *arguments):
        session = self._driver.session
        return self._driver._library.call(session, name, session, *arguments)

    def _query(self, name, arguments, *types):
        """Calls hvzelta_<name>(session, *arguments, *out-pointers) and returns the values."""
        out = _Outputs(*types)
        self._call(name, *arguments, *out.pointers)
        values = out.values
        return values[0] if len(values) == 1 else tuple(values)

    def _text(self, name, *arguments):
        session = self._driver.session
        return self._driver._library.text(session, name, session, *arguments)

    def _attribute(self, attribute, channel):
        if attribute.type == _attributes.STRING:
            return self._text("GetAttributeViString", _encode(channel), attribute.id)
        value_type = _capi.ATTRIBUTE_VALUE_TYPES[attribute.type]
        value = self._query("GetAttribute" + attribute.type, (_encode(channel), attribute.id), value_type)
        return _from_c(value_type, attribute.enum, value)

    def _set_attribute(self, attribute, channel, value):
        value_type = _capi.ATTRIBUTE_VALUE_TYPES[attribute.type]
        self._call("SetAttribute" + attribute.type, _encode(channel), attribute.id,
                   _to_c(value_type, attribute.enum, value, _attributes.python_name(attribute)))


def _attribute_property(attribute):
    def getter(self) -> Any:
        return self._attribute(attribute, self._channel)

    def setter(self, value: Any) -> None:
        try:
            self._set_attribute(attribute, self._channel, value)
        except _library.ArgumentTypeError as error:
            raise error.renamed(_attributes.python_name(attribute)) from None

    access = "read/write" if attribute.writable else "read-only"
    kind = attribute.enum.__name__ if attribute.enum else attribute.type
    doc = f"HVZELTA_ATTR_{attribute.c_name}: {kind}, {access}."
    if not attribute.supported:
        doc = ("Not supported by the instrument: with an instrument it raises DriverError "
               "(StatusCode.ERROR_ATTRIBUTE_NOT_SUPPORTED); in simulation it keeps the value set. " + doc)
    return property(getter, setter if attribute.writable else None, doc=doc)


def _add_attribute_properties(cls, scope):
    for attribute in _attributes.ATTRIBUTES:
        if attribute.scope == scope:
            setattr(cls, _attributes.python_name(attribute), _attribute_property(attribute))


def _output_property(c_name, value_type):
    enum = _header.SETTING_ENUMERATIONS.get(c_name)

    def getter(self) -> Any:
        value = self._query("Get" + c_name, (_encode(self.name),), value_type)
        return _from_c(value_type, enum, value)

    def setter(self, value: Any) -> None:
        self._call("Set" + c_name, _encode(self.name), _to_c(value_type, enum, value, _snake_case(c_name)))

    kind = enum.__name__ if enum else value_type.__name__
    return property(getter, setter, doc=f"hvzelta_Get{c_name}/hvzelta_Set{c_name}: {kind}.")


class _Channel(_Session):
    def __init__(self, driver, name):
        super().__init__(driver)
        self._channel = name

    @property
    def name(self) -> str:
        """The channel name this object stands for."""
        return self._channel

    def __repr__(self):
        return f"<{type(self).__name__} {self.name!r}>"


class Output(_Channel):
    """An output ("Output1"). Its settings are properties; the name may also be a
    selector such as "Output1,Output2": setters then change every output named."""

    def measure(self, measurement_type: MeasurementTypeLike) -> float:
        """Acquires and returns one measured value (a :class:`MeasurementType`, its number or name)."""
        return self._query("Measure", (_encode(self.name), _header.MeasurementType.coerce(measurement_type, "measurement_type")),
                           _capi.ViReal64, _capi.ViInt32)[0]

    def fetch(self, measurement_type: MeasurementTypeLike) -> float:
        """Returns one value of the last acquisition without measuring again."""
        return self._query("Fetch", (_encode(self.name), _header.MeasurementType.coerce(measurement_type, "measurement_type")),
                           _capi.ViReal64, _capi.ViInt32)[0]

    def can_measure(self, measurement_type: MeasurementTypeLike, coupling_mode: CouplingModeLike) -> bool:
        """Whether `measurement_type` makes sense in `coupling_mode`."""
        arguments = (_encode(self.name), _header.MeasurementType.coerce(measurement_type, "measurement_type"),
                     _header.CouplingMode.coerce(coupling_mode, "coupling_mode"))
        return bool(self._query("CanMeasure", arguments, _capi.ViBoolean, _capi.ViInt32)[0])

    def initiate_measurement(self) -> None:
        self._query("InitiateMeasurement2", (_encode(self.name),), _capi.ViInt32)

    def query_state(self, output_state: OutputStateLike) -> bool:
        """Whether the instrument reports `output_state` (an :class:`OutputState`)."""
        arguments = (_encode(self.name), _header.OutputState.coerce(output_state, "output_state"))
        return bool(self._query("QueryState", arguments, _capi.ViBoolean, _capi.ViInt32)[0])

    def _min_max(self, function):
        return self._query(function, (_encode(self.name),), _capi.ViReal64, _capi.ViReal64, _capi.ViInt32)[:2]

    def voltage_level_min_max(self) -> Tuple[float, float]:
        """(minimum, maximum) of the voltage level the instrument accepts."""
        return self._min_max("QueryVoltageLevelMinMax")

    def voltage_offset_min_max(self) -> Tuple[float, float]:
        return self._min_max("QueryVoltageOffsetMinMax")

    def current_limit_min_max(self) -> Tuple[float, float]:
        return self._min_max("QueryCurrentLimitMinMax2")

    def current_offset_min_max(self) -> Tuple[float, float]:
        return self._min_max("QueryCurrentOffsetMinMax")

    def frequency_min_max(self) -> Tuple[float, float]:
        return self._min_max("QueryFrequencyMinMax")

    def reset_output_protection(self) -> None:
        self._query("ResetOutputProtection", (_encode(self.name),), _capi.ViInt32)

    def reset_current_max_hold(self) -> None:
        self._query("ResetCurrentMaxHold2", (_encode(self.name),), _capi.ViInt32)


for _c_name, _value_type in _capi.output_property_types().items():
    setattr(Output, _snake_case(_c_name), _output_property(_c_name, _value_type))


class OutputPhase(_Channel):
    """An output phase ("OutputPhase1"): the AC power class view of the output."""

    def ramp_voltage(self, start: float, end: float, duration: float) -> None:
        self._call("RampVoltage", _encode(self.name), start, end, duration)

    def ramp_current(self, start: float, end: float, duration: float) -> None:
        self._call("RampCurrent", _encode(self.name), start, end, duration)

    def abort_voltage_ramp(self) -> None:
        self._call("AbortVoltageRamp", _encode(self.name))

    def abort_current_ramp(self) -> None:
        self._call("AbortCurrentRamp", _encode(self.name))

    def fetch_measurement(self, measurement: Union[int, str]) -> float:
        """One value of the last acquisition (a :class:`PhaseMeasurement`)."""
        arguments = (_encode(self.name), _header.PhaseMeasurement.coerce(measurement, "measurement"))
        return self._query("FetchMeasurement", arguments, _capi.ViReal64)

    def fetch_measurement_array(self, measurement: Union[int, str], max_count: int = 1024) -> List[float]:
        """Up to `max_count` values of the last acquisition (a :class:`PhaseMeasurementArray`)."""
        values = (_capi.ViReal64 * max_count)()
        count = _capi.ViInt32()
        self._call("FetchMeasurementArray", _encode(self.name), _header.PhaseMeasurementArray.coerce(measurement, "measurement"),
                   max_count, values, ctypes.byref(count))
        return list(values[:count.value])

    def voltage_range_capabilities(self, range_index: int, waveform: str = "") -> Tuple[float, float]:
        """(minimum, maximum) voltage of range `range_index` with `waveform`."""
        return self._query("QueryVoltageRangeCapabilities", (_encode(self.name), range_index, _encode(waveform)),
                           _capi.ViReal64, _capi.ViReal64)

    def configure_current_protection(self, enabled: bool, threshold: float, delay: float) -> None:
        self._call("ConfigureCurrentProtection", _encode(self.name), bool(enabled), threshold, delay)

    def reset_current_protection(self) -> None:
        self._call("ResetCurrentProtection", _encode(self.name))

    def configure_voltage_protection(self, under_enabled: bool, over_enabled: bool, under_limit: float,
                                     over_limit: float) -> None:
        self._call("ConfigureVoltageProtection", _encode(self.name), bool(under_enabled), bool(over_enabled),
                   under_limit, over_limit)

    def reset_voltage_protection(self) -> None:
        self._call("ResetVoltageProtection", _encode(self.name))

    def configure_impedance(self, enabled: bool, resistive: float, inductive: float) -> None:
        self._call("ConfigureOutputImpedance", _encode(self.name), bool(enabled), resistive, inductive)

    def impedance_capabilities(self) -> Tuple[float, float, float, float]:
        """(resistive min, resistive max, inductive min, inductive max)."""
        return self._query("QueryOutputImpedanceCapabilities", (_encode(self.name),), *[_capi.ViReal64] * 4)

    def configure_dc(self, mode: Union[int, str], dc_voltage_level: float) -> None:
        self._call("ConfigureDC", _encode(self.name), _header.DCGenerationMode.coerce(mode, "mode"), dc_voltage_level)

    def configure_dc_range(self, minimum: float, maximum: float) -> None:
        self._call("ConfigureDCRange", _encode(self.name), minimum, maximum)

    def dc_capabilities(self, range_index: int) -> Tuple[float, float]:
        """(minimum, maximum) DC voltage of range `range_index`."""
        return self._query("QueryDCCapabilities", (_encode(self.name), range_index), _capi.ViReal64, _capi.ViReal64)


_add_attribute_properties(OutputPhase, _attributes.PHASE)


class _Collection(_Session):
    """The outputs or output phases: by name (``drv.outputs["Output1"]``), by
    index from 0 (``drv.outputs[0]``), ``len()`` and iteration."""

    def __init__(self, driver, item_type, count_attribute, name_function):
        super().__init__(driver)
        self._item_type = item_type
        self._count_attribute = _attributes.BY_ID[count_attribute]
        self._name_function = name_function

    def __len__(self):
        return self._attribute(self._count_attribute, "")

    def __getitem__(self, key):
        if isinstance(key, str):
            return self._item_type(self._driver, key)
        count = len(self)
        if not -count <= key < count:
            raise IndexError(f"{self._item_type.__name__} index {key} out of range: there are {count}")
        return self._item_type(self._driver, self._text(self._name_function, key % count + 1))

    def __iter__(self):
        return (self[index] for index in range(len(self)))

    def names(self) -> List[str]:
        return [item.name for item in self]


def _close_session(library, session):
    """Closes a session the program forgot to close (at collection or at exit)."""
    try:
        library.call(session, "close", session)
    except DriverError:
        pass


class Driver(_Session):
    """A session with one instrument.

    ``Driver("TCPIP::192.0.2.7::5025::SOCKET", id_query=True, reset=True,
    options="QueryInstrStatus=true")`` opens it (``hvzelta_InitWithOptions``);
    ``close()`` or the end of a ``with`` block closes it. Every failure raises
    :class:`DriverError` with the status code and the driver's description.
    """

    def __init__(self, resource: str, id_query: bool = False, reset: bool = False, options: str = ""):
        super().__init__(self)
        for parameter, value in (("resource", resource), ("options", options)):
            if not isinstance(value, str):
                raise TypeError(f"{parameter}: a str is needed, not {type(value).__name__}")
        _warn_unknown_options(options)
        self._library = _library.library()
        self._session = self._library.open(_encode(resource), bool(id_query), bool(reset), _encode(options))
        self._closed = False
        self._finalizer = weakref.finalize(self, _close_session, self._library, self._session)
        self.outputs = _Collection(self, Output, 1150002, "GetOutputName")
        self.phases = _Collection(self, OutputPhase, 1250036, "GetOutputPhaseName")

    @property
    def session(self) -> int:
        """The C session handle (``ViSession``), for calling the C interface directly.
        After ``close()`` calls fail with ``StatusCode.ERROR_INVALID_SESSION_HANDLE``."""
        return self._session

    @property
    def closed(self) -> bool:
        return self._closed

    def close(self) -> None:
        """Closes the session; closing a closed session does nothing."""
        if self._closed:
            return
        self._closed = True
        self._finalizer.detach()
        self._library.call(self._session, "close", self._session)

    def __enter__(self):
        return self

    def __exit__(self, exception_type, exception, traceback):
        if exception is None:
            self.close()
            return
        # The failure in flight matters more than one of closing.
        try:
            self.close()
        except DriverError:
            pass

    def __repr__(self):
        state = "closed" if self._closed else f"session {self._session}"
        return f"<hvzelta.Driver {state}>"

    @property
    def output(self) -> "Output":
        """The first output: the only one of a single-output instrument."""
        return self.outputs[0]

    @property
    def phase(self) -> "OutputPhase":
        """The first output phase."""
        return self.phases[0]

    # ---- Attributes by identifier ----------------------------------------

    def get_attribute(self, attribute_id: int, channel: str = "") -> Any:
        """Reads any ``HVZELTA_ATTR_*`` attribute; `channel` names the output or phase."""
        return self._attribute(self._described(attribute_id), channel)

    def set_attribute(self, attribute_id: int, value: Any, channel: str = "") -> None:
        self._set_attribute(self._described(attribute_id), channel, value)

    @staticmethod
    def _described(attribute_id):
        try:
            return _attributes.BY_ID[attribute_id]
        except KeyError:
            raise ValueError(f"{attribute_id} is no attribute of the driver") from None

    # ---- Identity and utility ---------------------------------------------

    def reset(self) -> None:
        self._call("reset")

    def reset_with_defaults(self) -> None:
        self._call("ResetWithDefaults")

    def disable(self) -> None:
        """Puts the instrument into a state where it delivers no power."""
        self._call("Disable")

    def self_test(self) -> Tuple[int, str]:
        """(result code, message); result 0 means the self test passed."""
        result = _capi.ViInt16()
        message, = self._library.fixed_texts(self.session, "self_test", self.session, ctypes.byref(result))
        return result.value, message

    def error_query(self) -> Tuple[int, str]:
        """(code, message) of the instrument's next error; code 0 when there is none."""
        code = _capi.ViInt32()
        message, = self._library.fixed_texts(self.session, "error_query", self.session, ctypes.byref(code))
        return code.value, message

    def revision_query(self) -> Tuple[str, str]:
        """(driver revision, instrument firmware revision)."""
        return tuple(self._library.fixed_texts(self.session, "revision_query", self.session, count=2))

    def error_message(self, code: int) -> str:
        """The driver's message for a status code."""
        return self._library.error_message(code)

    def invalidate_all_attributes(self) -> None:
        self._call("InvalidateAllAttributes")

    def coercion_records(self) -> List[str]:
        """Takes every coercion record the driver kept (RecordCoercions=true)."""
        records = []
        while record := self._text("GetNextCoercionRecord"):
            records.append(record)
        return records

    def lock(self) -> None:
        """Holds the session lock: other threads' calls on this session wait."""
        self._query("LockSession", (), _capi.ViBoolean)

    def unlock(self) -> None:
        self._query("UnlockSession", (), _capi.ViBoolean)

    # ---- Direct I/O ---------------------------------------------------------

    def write(self, data: Union[str, bytes]) -> int:
        """Sends `data` to the instrument as it is; text gets a final newline if it lacks one.
        Returns the number of bytes sent."""
        if isinstance(data, str):
            data = _encode(data if data.endswith("\n") else data + "\n")
        return self._query("viWrite", (len(data), data), _capi.ViInt64)

    def read(self, max_size: int = 65536) -> bytes:
        """Reads one reply of the instrument; bytes past `max_size` are dropped."""
        buffer = ctypes.create_string_buffer(max_size)
        count = self._query("viRead", (max_size, buffer), _capi.ViInt64)
        return buffer.raw[:count]

    def query(self, command: str, max_size: int = 65536) -> str:
        """Writes `command` and returns the reply as text without its line ending."""
        self.write(command)
        return self.read(max_size).decode("utf-8", "replace").rstrip("\r\n")

    def query_ascii_values(self, command: str, converter: Callable[[str], Any] = float, separator: str = ",",
                           max_size: int = 65536) -> Sequence[Any]:
        """Writes `command` and returns the reply's `separator`-separated values, each
        through `converter`: a numpy array when numpy is installed, else a list."""
        reply = self.query(command, max_size)
        try:
            values = [converter(item.strip()) for item in reply.split(separator) if item.strip()]
        except ValueError as error:
            raise ValueError(f"the reply to {command!r} is not a list of values: {reply!r} ({error})") from None
        return numpy.array(values) if numpy is not None else values

    def query_binary_values(self, command: str, datatype: str = "d", is_big_endian: bool = False,
                            max_size: int = 1 << 20) -> Sequence[Any]:
        """Writes `command` and returns the values of the IEEE 488.2 block of the reply
        (``#<digits><length><data>``), of the :mod:`array` type code `datatype`: a
        numpy array when numpy is installed, else a list."""
        self.write(command)
        data = _block_data(self.read(max_size), command)
        values = array.array(datatype)
        if len(data) % values.itemsize:
            raise ValueError(f"the block of the reply to {command!r} has {len(data)} bytes, "
                             f"not a multiple of {values.itemsize} ({datatype!r})")
        values.frombytes(data)
        if is_big_endian != (sys.byteorder == "big"):
            values.byteswap()
        return numpy.array(values) if numpy is not None else values.tolist()

    # ---- The whole instrument ---------------------------------------------

    def configure_frequency(self, frequency: float) -> None:
        self._call("ConfigureFrequency", frequency)

    def configure_frequency_range(self, frequency_range: float) -> None:
        self._call("ConfigureFrequencyRange", frequency_range)

    def frequency_range_capabilities(self, range_index: int) -> Tuple[float, float]:
        """(minimum, maximum) frequency of range `range_index`."""
        return self._query("QueryFrequencyRangeCapabilities", (range_index,), _capi.ViReal64, _capi.ViReal64)

    def ramp_frequency(self, start: float, end: float, duration: float) -> None:
        self._call("RampFrequency", start, end, duration)

    def abort_frequency_ramp(self) -> None:
        self._call("AbortFrequencyRamp")

    def initiate_measurement(self, groups: int = _header.MeasurementGroup.BASE) -> None:
        """Starts an acquisition of the :class:`MeasurementGroup` flags `groups`."""
        self._call("InitiateMeasurement", int(groups))

    def configure_external_sync(self, enabled: bool, phase_offset: float) -> None:
        self._call("ConfigureExternalSync", bool(enabled), phase_offset)

    def initiate(self) -> None:
        """Arms the transient trigger system."""
        self._query("Initiate", (), _capi.ViInt32)

    def abort(self) -> None:
        self._query("Abort", (), _capi.ViInt32)

    def send_software_trigger(self) -> None:
        self._query("SendSoftwareTrigger", (), _capi.ViInt32)

    def store(self, memory: int) -> None:
        """Saves the settings in memory location `memory`."""
        self._call("Store", memory)

    def recall(self, memory: int) -> None:
        self._call("Recall", memory)

    def arb_waveform_catalog(self, catalog: Union[int, str] = _header.WaveformCatalog.ALL) -> str:
        return self._text("QueryArbWaveformCatalog", _header.WaveformCatalog.coerce(catalog, "catalog"))

    def write_arb_waveform(self, name: str, samples: Sequence[float]) -> None:
        data = (_capi.ViReal64 * len(samples))(*samples)
        self._call("WriteArbWaveform", _encode(name), len(samples), data)

    def clear_arb_waveform(self, name: str) -> None:
        self._call("ClearArbWaveform", _encode(name))


_add_attribute_properties(Driver, _attributes.DRIVER)
