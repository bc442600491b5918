"""Records shown as the Python expressions that build them.

`repr` of a record is a call of its class with every field as a keyword argument, so that
`eval(repr(record), vars(vexa_package))` builds an equal record. Addresses, register values
and flag words show in hexadecimal. Byte strings longer than `BYTES_SHOWN` show only their
first and last `BYTES_AT_EACH_END` bytes and their length, in a form that `eval` refuses, so a
shortened repr is never taken for the whole value.
"""

from __future__ import annotations

import dataclasses
from typing import Any, Callable

BYTES_SHOWN = 64
BYTES_AT_EACH_END = 16

#: Field metadata of integer fields shown in hexadecimal.
HEXADECIMAL: dict[str, bool] = {"hexadecimal": True}


def _hexadecimal(value: object) -> str:
    # Only a plain int: anything else a field may hold (bool, float, NumPy scalars) keeps its
    # own repr.
    return hex(value) if type(value) is int else repr(value)


def _value(value: object) -> str:
    if isinstance(value, (bytes, bytearray)) and len(value) > BYTES_SHOWN:
        head = bytes(value[:BYTES_AT_EACH_END])
        tail = bytes(value[-BYTES_AT_EACH_END:])
        return f"{head!r} ... {tail!r} ({len(value)} bytes)"
    return repr(value)


_ShownFields = tuple[tuple[str, Callable[[Any], str]], ...]
_shown_fields: dict[type, _ShownFields] = {}


def shown_fields(cls: type) -> _ShownFields:
    """The fields of the dataclass `cls` in declaration order, each with how it is shown."""
    shown = _shown_fields.get(cls)
    if shown is None:
        shown = tuple((field.name, _hexadecimal if field.metadata.get("hexadecimal") else _value)
                      for field in dataclasses.fields(cls))
        _shown_fields[cls] = shown
    return shown
