"""The records of application packages and profile reports.

Plain mutable values, one class per C++ record with the same field names, order and defaults.
Lists are ordinary Python lists held by the record, so changing an element or appending to a
list changes the record. Nothing is checked when a record is built: field values are checked
when a record is handed to the library (written, validated, rendered).
"""

from __future__ import annotations

import enum
from dataclasses import dataclass, field
from typing import NamedTuple

import numpy

from . import _vexa_package


class _Record:
    __slots__ = ()

    def __repr__(self) -> str:
        # The library's own rendering. A field holding something the library cannot take
        # has no such rendering; the generic one still shows what is there.
        try:
            return _vexa_package.render(self)
        except (TypeError, ValueError, OverflowError):
            fields = ", ".join(f"{name}={getattr(self, name)!r}" for name in self.__slots__)
            return f"{type(self).__name__}({fields})"


def _record(cls):
    return dataclass(slots=True, kw_only=True, repr=False)(cls)


@_record
class Segment(_Record):
    """One loadable piece of tile memory; `data` fills its first bytes, the rest is zero."""

    address: int = 0
    memory_size: int = 0
    data: bytes = b""
    flags: int = 0


@_record
class TileImage(_Record):
    """The image of one physical tile."""

    physical_tile: int = 0
    entry_point: int = 0
    command_address: int = 0
    diagnostic_address: int = 0
    segments: list[Segment] = field(default_factory=list)


@_record
class RegionSlice(_Record):
    """One piece of a binding: a byte range of its data placed at an address of one tile."""

    tile: int = 0
    tile_address: int = 0
    file_offset: int = 0
    size: int = 0


@_record
class Binding(_Record):
    """A named tensor and where its bytes live in tile memory."""

    name: str = ""
    dtype: str = ""
    shape: list[int] = field(default_factory=list)
    slices: list[RegionSlice] = field(default_factory=list)


@_record
class HostPage(_Record):
    """One entry of the host page table."""

    index: int = 0
    size: int = 0


@_record
class HostSlice(_Record):
    """One byte range of a host page used by a host call."""

    page: int = 0
    page_offset: int = 0
    file_offset: int = 0
    size: int = 0


@_record
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


@_record
class HostExchange(_Record):
    """How the host and the device exchange data."""

    startup_mark: int = 0
    command_page: int = 0
    command_offset: int = 0
    pages: list[HostPage] = field(default_factory=list)
    attach_order: list[int] = field(default_factory=list)
    calls: list[HostCall] = field(default_factory=list)


@_record
class EntryPoint(_Record):
    """A named way into the application."""

    name: str = ""
    command: int = 0
    external_syncs: int = 0


@_record
class DeviceConfigWrite(_Record):
    """One write to a device configuration register."""

    offset: int = 0
    value: int = 0


@_record
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
    def read(data) -> Application:
        """Reads and validates the package at the start of `data`, any bytes-like object."""
        return _vexa_package.read_application(data)

    def write(self) -> bytes:
        """Validates the application and returns it as package bytes."""
        return _vexa_package.write_application(self)

    def validate(self) -> None:
        """Raises `InvalidPackageError` for the first package rule the application breaks."""
        _vexa_package.validate_application(self)

    def tile_image(self, physical_tile: int) -> bytes:
        """The memory image of the first tile with this number, from its load base on."""
        return _vexa_package.tile_image(self, physical_tile)


class ProfileStepKind(enum.IntEnum):
    """What a profiled step does; the values are the stored codes."""

    Exchange = 0
    Compute = 1
    Synchronization = 2
    Idle = 3


@_record
class ProfileMetadata(_Record):
    """One named attribute of a step."""

    name: str = ""
    value: str = ""


@_record
class ProfileStep(_Record):
    """The identity of a step."""

    local_index: int = 0
    phase: int = 0
    epoch: int = 0
    operation: str = ""
    kind: ProfileStepKind = ProfileStepKind.Exchange
    kernel: str = ""
    metadata: list[ProfileMetadata] = field(default_factory=list)


@_record
class CycleSample(_Record):
    """One step as it ran on a tile, between two values of its 32-bit cycle counter."""

    step: ProfileStep = field(default_factory=ProfileStep)
    start_cycle: int = 0
    end_cycle: int = 0


@_record
class TileProfile(_Record):
    """The samples of one physical tile."""

    physical_tile: int = 0
    samples: list[CycleSample] = field(default_factory=list)


class ProfileSamples(NamedTuple):
    """Every sample of a report as one row of a structured array.

    `samples` has the fields `physical_tile`, `start_cycle`, `end_cycle`, `duration`
    (`end_cycle - start_cycle` modulo 2**32), `local_index`, `phase`, `epoch`, `kernel`,
    `operation` (codes into `kernel_names` and `operation_names`) and `kind` (the
    `ProfileStepKind` code), in report order: tile by tile, each tile's samples in order.
    """

    samples: numpy.ndarray
    kernel_names: list[str]
    operation_names: list[str]
    clock_hz: int


@_record
class ProfileReport(_Record):
    """A profile of one run: per physical tile, cycle-stamped samples of the steps it ran."""

    clock_hz: int = 0
    tiles: list[TileProfile] = field(default_factory=list)

    @staticmethod
    def read(data) -> ProfileReport:
        """Reads the report at the start of `data`, any bytes-like object, into records.

        A record per sample: for large reports `read_samples` is much faster.
        """
        return _vexa_package.read_profile(data)

    @staticmethod
    def read_samples(data) -> ProfileSamples:
        """Reads the report at the start of `data` straight into arrays, without records.

        Fails exactly as `read` fails on the same bytes.
        """
        return _vexa_package.read_profile_samples(data)

    def write(self) -> bytes:
        """The report as profile bytes."""
        return _vexa_package.write_profile(self)

    def samples(self) -> ProfileSamples:
        """The samples of the report as arrays; see `ProfileSamples`."""
        return _vexa_package.profile_samples(self)
