"""Every sample of a profile report as one row of an array, placed on the device timeline."""

from __future__ import annotations

from dataclasses import dataclass
from typing import TYPE_CHECKING, NamedTuple

import numpy
import numpy.typing

from ._records import ProfileStepKind

if TYPE_CHECKING:
    import pandas


@dataclass(frozen=True, slots=True)
class TimelineSpan:
    """The earliest start and the latest end of a report's samples on the device timeline."""

    first_start: int
    last_end: int

    @property
    def cycles(self) -> int:
        """Cycles from the earliest start to the latest end."""
        return self.last_end - self.first_start


@dataclass(frozen=True, slots=True)
class TimelineAnomaly:
    """How many samples showed one kind of timeline anomaly, and the first of them.

    `tile_index` is the position of that sample's tile entry in the report, `physical_tile`
    the entry's tile number and `sample_index` the sample's position in the entry, all from 0.
    """

    count: int
    tile_index: int
    physical_tile: int
    sample_index: int


class ProfileSamples(NamedTuple):
    """Every sample of a report as one row of a structured array.

    `samples` has the fields `physical_tile`, `start_cycle`, `end_cycle` (the stored 32-bit
    counter values), `duration` (`end_cycle - start_cycle` modulo 2**32), `start` and `end`
    (unsigned 64-bit cycles on the report's device timeline), `local_index`, `phase`,
    `epoch`, `kernel`, `operation` (codes into `kernel_names` and `operation_names`) and
    `kind` (the `ProfileStepKind` code), in report order: tile by tile, each tile's samples in
    order.

    The device timeline is one 64-bit cycle axis for all tiles: each sample's start is the
    value with its stored 32 bits that lies nearest the start before it on its tile (a tile's
    first sample: nearest the report's first start), and the report's first sample starts at
    2**32 + its `start_cycle`, so that every value stays above 0. It is exact while a tile's
    consecutive starts, and each tile's first start and the report's first start, lie less
    than 2**31 cycles apart. `span` is the earliest start and latest end (None without
    samples). `anomalies` holds, by kind, the samples the counter values could not settle for
    sure, and is empty when there were none: "backwards" (a sample placed before the one
    listed before it on its tile: legal, but also what a long gap across a wrap looks like),
    "ambiguous" (a distance too close to 2**31 to tell forwards from backwards) and
    "out_of_range" (no placement inside the timeline).
    """

    samples: numpy.typing.NDArray[numpy.void]
    kernel_names: list[str]
    operation_names: list[str]
    clock_hz: int
    span: TimelineSpan | None
    anomalies: dict[str, TimelineAnomaly]

    def to_pandas(self) -> pandas.DataFrame:
        """The samples as a data frame: one row per sample, the columns of `samples`, with
        `kernel`, `operation` and `kind` as categoricals of their names.

        Needs pandas, which is imported only here.
        """
        try:
            import pandas
        except ImportError as error:
            raise ImportError(
                "ProfileSamples.to_pandas needs pandas, which is not installed: "
                "pip install pandas, or apt install python3-pandas on Debian",
                name="pandas") from error
        categories = {
            "kernel": self.kernel_names,
            "operation": self.operation_names,
            "kind": [kind.name for kind in ProfileStepKind],
        }
        columns = {
            name: (pandas.Categorical.from_codes(self.samples[name], categories=categories[name])
                   if name in categories else self.samples[name])
            for name in self.samples.dtype.names or ()
        }
        return pandas.DataFrame(columns)
