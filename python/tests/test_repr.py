"""Records shown as the Python expressions that build them, the step kind by name, pickling."""

import pickle

import numpy
import pytest

import vexa_package as vp
from sample_records import RECORDS, every_record, generated_report

NAMESPACE = vars(vp)


def evaluated(record):
    return eval(repr(record), NAMESPACE)


def test_every_record_round_trips_through_repr():
    records = every_record()
    assert {type(record) for record in records} == set(RECORDS.values())
    for record in records:
        again = evaluated(record)
        assert type(again) is type(record)
        assert again == record
        assert repr(again) == repr(record)
    assert evaluated(generated_report()) == generated_report()


@pytest.mark.parametrize("read, name", [
    (vp.Application.read, "rich_application"),
    (vp.Application.read, "batched_application"),
    (vp.ProfileReport.read, "varied_report"),
])
def test_records_read_from_cxx_bytes_round_trip_through_repr(samples, read, name):
    record = read(samples.bytes(name))
    assert evaluated(record) == record


def test_repr_shows_addresses_registers_and_flags_in_hexadecimal():
    assert repr(vp.Segment(address=0x4C000, memory_size=8, data=b"\x01\x02", flags=0x1)) == (
        "Segment(address=0x4c000, memory_size=8, data=b'\\x01\\x02', flags=0x1)")
    assert repr(vp.DeviceConfigWrite(offset=0x40, value=0)) == (
        "DeviceConfigWrite(offset=0x40, value=0x0)")
    assert repr(vp.TileImage(entry_point=0x4C000)) == (
        "TileImage(physical_tile=0, entry_point=0x4c000, command_address=0x0, "
        "diagnostic_address=0x0, segments=[])")
    assert repr(vp.CycleSample(step=vp.ProfileStep(kind=vp.ProfileStepKind.Compute),
                               start_cycle=0x10)) == (
        "CycleSample(step=ProfileStep(local_index=0, phase=0, epoch=0, operation='', "
        "kind=ProfileStepKind.Compute, kernel='', metadata=[]), start_cycle=16, end_cycle=0)")


def test_repr_shows_values_the_library_cannot_take_as_they_are():
    assert repr(vp.Segment(address=-1, data="text", flags=numpy.uint32(7))) == (
        "Segment(address=-0x1, memory_size=0, data='text', flags=7)")
    tile = vp.TileImage()
    tile.segments.append(tile)
    assert repr(tile).endswith("segments=[...])")


def test_long_bytes_are_shortened_so_that_eval_refuses_them():
    whole = vp.Segment(data=bytes(range(64)))
    assert evaluated(whole) == whole
    for data in (bytes(range(65)), bytearray(4096)):
        shown = repr(vp.Segment(data=data))
        head, tail = bytes(data[:16]), bytes(data[-16:])
        assert f"data={head!r} ... {tail!r} ({len(data)} bytes)," in shown
        with pytest.raises(SyntaxError):
            eval(shown, NAMESPACE)


def test_step_kind_prints_its_name_and_formats_its_code_on_request():
    kind = vp.ProfileStepKind.Synchronization
    assert (str(kind), repr(kind), f"{kind}", f"{kind:>17}|") == (
        "Synchronization", "ProfileStepKind.Synchronization", "Synchronization",
        "  Synchronization|")
    assert (f"{kind:d}", f"{kind:#x}", int(kind)) == ("2", "0x2", 2)
    assert evaluated(kind) is kind
    assert [str(kind) for kind in vp.ProfileStepKind] == [
        "Exchange", "Compute", "Synchronization", "Idle"]


def test_records_arrays_and_errors_pickle():
    for record in every_record():
        assert pickle.loads(pickle.dumps(record)) == record
    assert pickle.loads(pickle.dumps(vp.ProfileStepKind.Idle)) is vp.ProfileStepKind.Idle
    arrays = vp.ProfileReport.read_samples(generated_report().write())
    assert arrays.anomalies and arrays.span is not None
    again = pickle.loads(pickle.dumps(arrays))
    assert type(again) is vp.ProfileSamples
    assert numpy.array_equal(again.samples, arrays.samples)
    assert again[1:] == arrays[1:]
