"""Profile samples as a structured array, checked against the records."""

import gc

import numpy
import pytest

import vexa_package as vp
from sample_records import generated_report

FIELDS = ["physical_tile", "start_cycle", "end_cycle", "duration", "start", "end",
          "local_index", "phase", "epoch", "kernel", "operation", "kind"]


def check_against_records(arrays, report):
    rows = arrays.samples
    assert arrays.clock_hz == report.clock_hz
    assert list(rows.dtype.names) == FIELDS
    records = [(tile.physical_tile, sample) for tile in report.tiles for sample in tile.samples]
    assert len(rows) == len(records)
    for row, (physical_tile, sample) in zip(rows, records):
        step = sample.step
        assert row["physical_tile"] == physical_tile
        assert (row["start_cycle"], row["end_cycle"]) == (sample.start_cycle, sample.end_cycle)
        assert row["duration"] == (sample.end_cycle - sample.start_cycle) % 2**32
        # The timeline keeps the stored counter value and the duration; where it places the
        # start is checked against known times elsewhere.
        assert row["start"] % 2**32 == sample.start_cycle
        assert row["end"] - row["start"] == row["duration"]
        assert (row["local_index"], row["phase"], row["epoch"]) == (
            step.local_index, step.phase, step.epoch)
        assert arrays.kernel_names[row["kernel"]] == step.kernel
        assert arrays.operation_names[row["operation"]] == step.operation
        assert row["kind"] == step.kind
    # Each name once, in order of first appearance.
    kernels = [sample.step.kernel for _, sample in records]
    operations = [sample.step.operation for _, sample in records]
    assert arrays.kernel_names == list(dict.fromkeys(kernels))
    assert arrays.operation_names == list(dict.fromkeys(operations))


@pytest.mark.parametrize("name", ["wrapping_report", "varied_report"])
def test_samples_of_cxx_reports_match_their_records(samples, name):
    data = samples.bytes(name)
    report = vp.ProfileReport.read(data)
    check_against_records(vp.ProfileReport.read_samples(data), report)
    check_against_records(report.samples(), report)


def test_samples_of_a_generated_report_match_their_records():
    report = generated_report()
    data = report.write()
    check_against_records(vp.ProfileReport.read_samples(data), report)
    check_against_records(report.samples(), report)


def test_both_ways_to_the_arrays_agree():
    report = generated_report(seed=11)
    from_bytes = vp.ProfileReport.read_samples(report.write())
    from_records = report.samples()
    assert numpy.array_equal(from_bytes.samples, from_records.samples)
    assert from_bytes[1:] == from_records[1:]


def test_wrapped_cycles_give_the_duration_modulo_two_to_the_32(samples):
    arrays = vp.ProfileReport.read_samples(samples.bytes("wrapping_report"))
    assert arrays.samples["duration"].tolist() == [18, 18, 18, 18]
    assert arrays.samples["duration"].dtype == numpy.uint32


def test_reports_without_samples_give_empty_arrays():
    for report in (vp.ProfileReport(), vp.ProfileReport(tiles=[vp.TileProfile()])):
        for arrays in (report.samples(), vp.ProfileReport.read_samples(report.write())):
            assert arrays.samples.shape == (0,)
            assert list(arrays.samples.dtype.names) == FIELDS
            assert arrays.kernel_names == [] and arrays.operation_names == []


def test_the_array_owns_its_memory():
    arrays = vp.ProfileReport.read_samples(generated_report().write())
    rows = arrays.samples
    copy = rows.copy()
    del arrays
    gc.collect()
    assert numpy.array_equal(rows, copy)
    rows["kind"] = 0
    assert not rows["kind"].any()


def test_kinds_given_as_codes_are_taken():
    step = vp.ProfileStep(kind=2)
    report = vp.ProfileReport(tiles=[vp.TileProfile(samples=[vp.CycleSample(step=step)])])
    assert report.samples().samples["kind"].tolist() == [vp.ProfileStepKind.Synchronization]


def test_busy_time_per_tile_from_the_arrays(samples):
    arrays = vp.ProfileReport.read_samples(samples.bytes("varied_report"))
    rows = arrays.samples
    busy = {int(tile): int(rows["duration"][rows["physical_tile"] == tile].sum(dtype=numpy.uint64))
            for tile in numpy.unique(rows["physical_tile"])}
    assert busy == {9: (2**32 - 1) + (100 - 500) % 2**32 + 50}


def test_an_unaligned_buffer_gives_the_same_arrays_and_names():
    # Unaligned input is read from a copy that is gone when reading ends: the name lists must
    # hold their own texts.
    report = generated_report(seed=11)
    data = report.write()
    shifted = memoryview(bytearray(b"\0" + data))[1:]
    aligned = vp.ProfileReport.read_samples(data)
    unaligned = vp.ProfileReport.read_samples(shifted)
    gc.collect()
    assert unaligned[1:] == aligned[1:]
    assert numpy.array_equal(unaligned.samples, aligned.samples)
    check_against_records(unaligned, report)
