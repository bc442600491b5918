"""The `start` and `end` columns: samples on one device timeline, against known times."""

import numpy

import vexa_package as vp

EPOCH = 2**32


def report_of(tiles):
    """A report of (physical tile, [(start_cycle, end_cycle), ...]) entries."""
    return vp.ProfileReport(clock_hz=1_000_000_000, tiles=[
        vp.TileProfile(physical_tile=tile, samples=[
            vp.CycleSample(step=vp.ProfileStep(local_index=i), start_cycle=start, end_cycle=end)
            for i, (start, end) in enumerate(samples)])
        for tile, samples in tiles])


def both_ways(report):
    """The arrays of the report read from its bytes and made from its records."""
    return vp.ProfileReport.read_samples(report.write()), report.samples()


def test_known_times_are_recovered_on_one_timeline():
    first = 5 * EPOCH - 1000  # the run's first start, 1000 cycles before a wrap
    # (physical tile, [(true start, cycles), ...]) in report order: an empty entry; samples
    # across the wrap, out of order and of no length; a tile starting late whose steps cross
    # two more wraps; the first tile again, starting before the run's first start.
    true_times = [
        (6, []),
        (4, [(first, 300), (first + 500, 700), (first + 300, 0), (first + 5000, 50)]),
        (1, [(first + 2**30 + 7 + k * (2**30 + 11), 100) for k in range(9)]),
        (4, [(first - 2**30, 2**31), (first + 5, 1)]),
    ]
    report = report_of([(tile, [(start % EPOCH, (start + cycles) % EPOCH)
                                for start, cycles in samples]) for tile, samples in true_times])
    # The first start lies one epoch up, at 2**32 + its stored value.
    offset = EPOCH + first % EPOCH - first
    starts = [start + offset for _, samples in true_times for start, _ in samples]
    ends = [start + cycles + offset for _, samples in true_times for start, cycles in samples]
    for arrays in both_ways(report):
        rows = arrays.samples
        assert (rows.dtype["start"], rows.dtype["end"]) == (numpy.uint64, numpy.uint64)
        assert rows["start"].tolist() == starts
        assert rows["end"].tolist() == ends
        assert arrays.span == vp.TimelineSpan(first_start=min(starts), last_end=max(ends))
        assert arrays.span.cycles == max(ends) - min(starts)
        # Legal, and reported: the third sample of tile entry 1 starts before the second.
        assert arrays.anomalies == {"backwards": vp.TimelineAnomaly(
            count=1, tile_index=1, physical_tile=4, sample_index=2)}


def test_what_the_counter_values_cannot_settle_is_reported_by_kind():
    # Each step of tile entry 1 goes back by 2**31 - 1 cycles, close enough to 2**31 to be
    # ambiguous; the third such step would go below cycle 0.
    report = report_of([(7, []), (2, [(start, start + 1) for start in
                                       (0, 2**31 + 1, 2, 2**31 + 3)])])
    for arrays in both_ways(report):
        assert arrays.anomalies == {
            "backwards": vp.TimelineAnomaly(count=2, tile_index=1, physical_tile=2,
                                            sample_index=1),
            "ambiguous": vp.TimelineAnomaly(count=3, tile_index=1, physical_tile=2,
                                            sample_index=1),
            "out_of_range": vp.TimelineAnomaly(count=1, tile_index=1, physical_tile=2,
                                               sample_index=3),
        }
        assert (arrays.samples["start"] % EPOCH).tolist() == [0, 2**31 + 1, 2, 2**31 + 3]


def test_a_report_without_samples_has_no_span_and_no_anomalies():
    for arrays in both_ways(report_of([(3, [])])):
        assert arrays.span is None
        assert arrays.anomalies == {}
