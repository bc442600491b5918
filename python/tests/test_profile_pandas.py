"""`ProfileSamples.to_pandas`: the rows as a data frame with names as categoricals."""

import sys

import numpy
import pandas
import pytest

import vexa_package as vp
from sample_records import generated_report

NAMED = {"kernel": "kernel_names", "operation": "operation_names"}
KIND_NAMES = ["Exchange", "Compute", "Synchronization", "Idle"]


def check_frame(arrays):
    frame = arrays.to_pandas()
    rows = arrays.samples
    assert list(frame.columns) == list(rows.dtype.names)
    assert frame.index.equals(pandas.RangeIndex(len(rows)))
    for column in rows.dtype.names:
        values = frame[column]
        if column in NAMED or column == "kind":
            names = getattr(arrays, NAMED[column]) if column in NAMED else KIND_NAMES
            assert isinstance(values.dtype, pandas.CategoricalDtype)
            assert list(values.cat.categories) == names
            assert values.astype(object).tolist() == [names[code] for code in rows[column]]
        else:
            assert values.dtype == rows.dtype[column]
            assert numpy.array_equal(values.to_numpy(), rows[column])


def test_the_frame_has_a_row_per_sample_and_names_as_categoricals(samples):
    check_frame(vp.ProfileReport.read_samples(generated_report().write()))
    check_frame(vp.ProfileReport.read_samples(samples.bytes("varied_report")))
    check_frame(vp.ProfileReport().samples())


def test_names_group_and_sort_as_categoricals():
    report = vp.ProfileReport(tiles=[vp.TileProfile(samples=[
        vp.CycleSample(step=vp.ProfileStep(kernel=kernel, kind=kind), end_cycle=cycles)
        for kernel, kind, cycles in [("b", vp.ProfileStepKind.Idle, 5),
                                     ("a", vp.ProfileStepKind.Compute, 7),
                                     ("b", vp.ProfileStepKind.Compute, 11)]])])
    frame = report.samples().to_pandas()
    by_kernel = frame.groupby("kernel", observed=True)["duration"].sum()
    assert by_kernel.to_dict() == {"b": 16, "a": 7}
    by_kind = frame.groupby("kind", observed=False)["duration"].sum()
    assert by_kind.to_dict() == {"Exchange": 0, "Compute": 18, "Synchronization": 0, "Idle": 5}


def test_without_pandas_the_error_says_what_is_missing(monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="to_pandas needs pandas") as raised:
        vp.ProfileReport().samples().to_pandas()
    assert raised.value.name == "pandas"
