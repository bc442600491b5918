"""The records of application packages and profile reports.

Plain mutable values, one class per C++ record with the same field names, order and defaults.
Lists are ordinary Python lists held by the record, so changing an element or appending to a
list changes the record. Nothing is checked when a record is built: field values are checked
when a record is handed to the library (written, validated, converted to arrays).
"""

from __future__ import annotations

import enum
import reprlib
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, overload

from . import _vexa_package
from ._files import source_bytes, write_file
from ._shown import HEXADECIMAL, shown_fields

if TYPE_CHECKING:
    from _typeshed import StrPath

    from ._files import Source
    from ._samples import ProfileSamples


class _Record:
    __slots__ = ()

    @reprlib.recursive_repr()
    def __repr__(self) -> str:
        fields = ", ".join(f"{name}={show(getattr(self, name))}"
                           for name, show in shown_fields(type(self)))
        return f"{type(self).__name__}({fields})"


@dataclass(slots=True, kw_only=True, repr=False)
class Segment(_Record):
    """One loadable piece of tile memory; `data` fills its first bytes, the rest is zero."""

    address: int = field(default=0, metadata=HEXADECIMAL)
    memory_size: int = 0
    data: bytes = b""
    flags: int = field(default=0, metadata=HEXADECIMAL)


@dataclass(slots=True, kw_only=True, repr=False)
class TileImage(_Record):
    """The image of one physical tile."""

    physical_tile: int = 0
    entry_point: int = field(default=0, metadata=HEXADECIMAL)
    command_address: int = field(default=0, metadata=HEXADECIMAL)
    diagnostic_address: int = field(default=0, metadata=HEXADECIMAL)
    segments: list[Segment] = field(default_factory=list)


@dataclass(slots=True, kw_only=True, repr=False)
class RegionSlice(_Record):
    """One piece of a binding: a byte range of its data placed at an address of one tile."""

    tile: int = 0
    tile_address: int = field(default=0, metadata=HEXADECIMAL)
    file_offset: int = 0
    size: int = 0


@dataclass(slots=True, kw_only=True, repr=False)
class Binding(_Record):
    """A named tensor and where its bytes live in tile memory."""

    name: str = ""
    dtype: str = ""
    shape: list[int] = field(default_factory=list)
    slices: list[RegionSlice] = field(default_factory=list)


@dataclass(slots=True, kw_only=True, repr=False)
class HostPage(_Record):
    """One entry of the host page table."""

    index: int = 0
    size: int = 0


@dataclass(slots=True, kw_only=True, repr=False)
class HostSlice(_Record):
    """One byte range of a host page used by a host call."""

    page: int = 0
    page_offset: int = 0
    file_offset: int = 0
    size: int = 0


@dataclass(slots=True, kw_only=True, repr=False)
class HostCall(_Record):
    """A host call: a named operation with its input and output ranges in host pages."""

    name: str = ""
    command: int = 0
    phases: int = 0
    inputs: list[HostSlice] = field(default_factory=list)
    outputs: list[HostSlice] = field(default_factory=list)
    invocations: int = 1
    input_batch_ends: list[int] = field(default_factory=list)
    output_batch_ends: list[int] = field(default_factory=list)


@dataclass(slots=True, kw_only=True, repr=False)
class HostExchange(_Record):
    """How the host and the device exchange data."""

    startup_mark: int = field(default=0, metadata=HEXADECIMAL)
    command_page: int = 0
    command_offset: int = 0
    pages: list[HostPage] = field(default_factory=list)
    attach_order: list[int] = field(default_factory=list)
    calls: list[HostCall] = field(default_factory=list)


@dataclass(slots=True, kw_only=True, repr=False)
class EntryPoint(_Record):
    """A named way into the application."""

    name: str = ""
    command: int = 0
    external_syncs: int = 0


@dataclass(slots=True, kw_only=True, repr=False)
class DeviceConfigWrite(_Record):
    """One write to a device configuration register."""

    offset: int = field(default=0, metadata=HEXADECIMAL)
    value: int = field(default=0, metadata=HEXADECIMAL)


@dataclass(slots=True, kw_only=True, repr=False)
class Application(_Record):
    """One application package."""

    compiler_version: str = "0.1.0"
    tiles: list[TileImage] = field(default_factory=list)
    inputs: list[Binding] = field(default_factory=list)
    outputs: list[Binding] = field(default_factory=list)
    weights: list[Binding] = field(default_factory=list)
    host_exchange: HostExchange = field(default_factory=HostExchange)
    entry_points: list[EntryPoint] = field(default_factory=list)
    device_config_writes: list[DeviceConfigWrite] = field(default_factory=list)

    @staticmethod
    def read(data: Source) -> Application:
        """Reads and validates the package at the start of `data`: any bytes-like object, or
        the path (`str` or `os.PathLike`) of a file that holds it."""
        return _vexa_package.read_application(source_bytes(data))

    @overload
    def write(self, path: None = None) -> bytes: ...

    @overload
    def write(self, path: StrPath) -> None: ...

    def write(self, path: StrPath | None = None) -> bytes | None:
        """Validates the application and returns it as package bytes, or writes them to the
        file at `path`; nothing is written when validation fails."""
        data = _vexa_package.write_application(self)
        if path is None:
            return data
        write_file(path, data)
        return None

    def validate(self) -> None:
        """Raises `InvalidPackageError` for the first package rule the application breaks."""
        _vexa_package.validate_application(self)

    def tile_image(self, physical_tile: int) -> bytes:
        """The memory image of the first tile with this number, from its load base on."""
        return _vexa_package.tile_image(self, physical_tile)


class ProfileStepKind(enum.IntEnum):
    """What a profiled step does; the values are the stored codes.

    A kind prints as its name; its repr is the expression that names it.
    """

    Exchange = 0
    Compute = 1
    Synchronization = 2
    Idle = 3

    def __repr__(self) -> str:
        return f"{type(self).__name__}.{self.name}"

    def __str__(self) -> str:
        return self.name

    def __format__(self, format_spec: str) -> str:
        # A numeric presentation type asks for the code; anything else formats the name.
        if format_spec[-1:] in tuple("bcdoxXneEfFgG%"):
            return int.__format__(self, format_spec)
        return format(self.name, format_spec)


@dataclass(slots=True, kw_only=True, repr=False)
class ProfileMetadata(_Record):
    """One named attribute of a step."""

    name: str = ""
    value: str = ""


@dataclass(slots=True, kw_only=True, repr=False)
class ProfileStep(_Record):
    """The identity of a step."""

    local_index: int = 0
    phase: int = 0
    epoch: int = 0
    operation: str = ""
    kind: ProfileStepKind = ProfileStepKind.Exchange
    kernel: str = ""
    metadata: list[ProfileMetadata] = field(default_factory=list)


@dataclass(slots=True, kw_only=True, repr=False)
class CycleSample(_Record):
    """One step as it ran on a tile, between two values of its 32-bit cycle counter."""

    step: ProfileStep = field(default_factory=ProfileStep)
    start_cycle: int = 0
    end_cycle: int = 0


@dataclass(slots=True, kw_only=True, repr=False)
class TileProfile(_Record):
    """The samples of one physical tile."""

    physical_tile: int = 0
    samples: list[CycleSample] = field(default_factory=list)


@dataclass(slots=True, kw_only=True, repr=False)
class ProfileReport(_Record):
    """A profile of one run: per physical tile, cycle-stamped samples of the steps it ran."""

    clock_hz: int = 0
    tiles: list[TileProfile] = field(default_factory=list)

    @staticmethod
    def read(data: Source) -> ProfileReport:
        """Reads the report at the start of `data` into records: any bytes-like object, or the
        path (`str` or `os.PathLike`) of a file that holds it.

        A record per sample: for large reports `read_samples` is much faster.
        """
        return _vexa_package.read_profile(source_bytes(data))

    @staticmethod
    def read_samples(data: Source) -> ProfileSamples:
        """Reads the report at the start of `data` (as for `read`) straight into arrays,
        without records; see `ProfileSamples`.

        Fails exactly as `read` fails on the same bytes.
        """
        return _vexa_package.read_profile_samples(source_bytes(data))

    @overload
    def write(self, path: None = None) -> bytes: ...

    @overload
    def write(self, path: StrPath) -> None: ...

    def write(self, path: StrPath | None = None) -> bytes | None:
        """Returns the report as profile bytes, or writes them to the file at `path`."""
        data = _vexa_package.write_profile(self)
        if path is None:
            return data
        write_file(path, data)
        return None

    def samples(self) -> ProfileSamples:
        """The samples of the report as arrays; see `ProfileSamples`."""
        return _vexa_package.profile_samples(self)
