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
    def coerce(cls, value: Union["Parsable", int, str], parameter: str = ""):
        """The member for a member, a number or a name (case and "_" do not count);
        `parameter` names the value in the errors."""
        named = f"{parameter}: " if parameter else ""
        if isinstance(value, str):
            wanted = _fold(value)
            for member in cls:
                if _fold(member.name) == wanted:
                    return member
            names = ", ".join(member.name for member in cls)
            raise ValueError(f"{named}{value!r} is not a {cls.__name__}; one of {names}")
        if isinstance(value, bool) or not isinstance(value, int):
            raise TypeError(f"{named}a {cls.__name__} is needed (a member, its number or its name), "
                            f"not {type(value).__name__}")
        try:
            return cls(value)
        except ValueError:
            raise ValueError(f"{named}{value} is not a {cls.__name__}") from None
