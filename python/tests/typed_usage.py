"""A typed program using the whole package, for `mypy --strict` and for running.

The type checker checks it against the package's annotations and the stubs of the compiled
module, and `assert_type` pins the types a user sees; test_typed_usage.py runs it.
"""

from __future__ import annotations

import logging
from pathlib import Path
from typing import assert_type

import numpy
import numpy.typing

import vexa_package as vp


def application() -> vp.Application:
    segment = vp.Segment(address=vp.TILE_MEMORY_BASE, memory_size=8, data=b"\x01\x02")
    return vp.Application(tiles=[vp.TileImage(segments=[segment])])


def report() -> vp.ProfileReport:
    step = vp.ProfileStep(operation="matmul", kind=vp.ProfileStepKind.Compute, kernel="gemm")
    samples = [vp.CycleSample(step=step, start_cycle=2**32 - 5, end_cycle=10)]
    return vp.ProfileReport(clock_hz=10**9, tiles=[vp.TileProfile(samples=samples)])


def main(directory: Path) -> None:
    package = assert_type(application().write(), bytes)
    path = directory / "app.vxpkg"
    assert_type(application().write(path), None)
    loaded = assert_type(vp.Application.read(path), vp.Application)
    assert loaded == vp.Application.read(package) == vp.Application.read(memoryview(package))
    assert_type(loaded.tile_image(0), bytes)
    assert_type(loaded.validate(), None)
    assert_type(repr(loaded.tiles[0].segments[0]), str)

    report_path = str(directory / "run.vxprof")
    report().write(report_path)
    samples = assert_type(vp.ProfileReport.read_samples(report_path), vp.ProfileSamples)
    rows = assert_type(samples.samples, numpy.typing.NDArray[numpy.void])
    assert int(rows["end"][0] - rows["start"][0]) == 15
    span = samples.span
    assert span is not None
    assert_type(span.cycles, int)
    for kind, anomaly in samples.anomalies.items():
        assert_type(kind, str)
        assert_type(anomaly.count, int)
    kernels: list[str] = samples.kernel_names
    assert kernels == ["gemm"]
    assert len(samples.to_pandas()) == 1
    assert_type(vp.ProfileReport.read(report_path).samples(), vp.ProfileSamples)
    assert str(vp.ProfileStepKind.Idle) == "Idle"

    try:
        vp.Application().write()
    except vp.InvalidPackageError as error:
        assert_type(error.message, str)
        assert error.kind == "Invalid"
    vp.log_to_python()
    logging.getLogger("vexa_package").setLevel(vp.TRACE)
    vp.stop_logging_to_python()
    assert_type(vp.__version__, str)
