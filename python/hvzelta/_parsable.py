"""The base of the driver's enumerations: members are also taken by number or name."""

import enum
from typing import Union


def _fold(name: str) -> str:
    return name.replace("_", "").casefold()


class Parsable(enum.IntEnum):
    """Wherever the package takes a member it also takes the plain number or the
    member's name in either spelling: ``MeasurementType.VOLTAGE_AC``, ``1011``,
    ``"VOLTAGE_AC"`` and ``"VoltageAC"`` are the same value."""

    @classmethod
    def coerce(cls, value: Union["Parsable", int, str]):
        """The member for a member, a number or a name (case and "_" do not count)."""
        if isinstance(value, str):
            wanted = _fold(value)
            for member in cls:
                if _fold(member.name) == wanted:
                    return member
            names = ", ".join(member.name for member in cls)
            raise ValueError(f"{value!r} is not a {cls.__name__}; one of {names}")
        if not isinstance(value, int):
            raise TypeError(f"a {cls.__name__} is a member, its number or its name, not {type(value).__name__}")
        return cls(value)
