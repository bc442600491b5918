"""The records as Python classes: defaults, construction, equality, conversion, lists."""

import copy
import re

import numpy
import pytest

import vexa_package as vp
from sample_records import RECORDS


def render(record):
    """The C++ library's rendering of the C++ value a record converts to."""
    return vp._vexa_package.render(record)


@pytest.mark.parametrize("name", sorted(RECORDS))
def test_default_records_convert_to_default_cxx_records(samples, name):
    assert render(RECORDS[name]()) == samples.text(f"default_{name}")


def test_defaults_that_are_not_zero():
    assert vp.Application().compiler_version == "0.1.0"
    assert vp.HostCall().invocations == 1
    assert vp.ProfileStep().kind is vp.ProfileStepKind.Exchange
    assert vp.Application().host_exchange == vp.HostExchange()


def test_construction_takes_keywords_only_and_knows_its_fields():
    assert vp.Segment(address=0x4C000, data=b"\x01").address == 0x4C000
    with pytest.raises(TypeError):
        vp.Segment(0x4C000)
    with pytest.raises(TypeError):
        vp.Segment(adress=0x4C000)
    segment = vp.Segment()
    with pytest.raises(AttributeError):
        segment.adress = 1


def test_default_lists_are_not_shared():
    first, second = vp.TileImage(), vp.TileImage()
    first.segments.append(vp.Segment())
    assert second.segments == []


def test_equality_compares_every_field_and_list_order():
    a = vp.Application(tiles=[vp.TileImage(physical_tile=1), vp.TileImage(physical_tile=2)])
    b = vp.Application(tiles=[vp.TileImage(physical_tile=1), vp.TileImage(physical_tile=2)])
    assert a == b
    b.tiles.reverse()
    assert a != b
    assert vp.Application() != vp.Application(compiler_version="0.1.1")
    assert vp.Segment(data=b"\x01") != vp.Segment(data=b"\x02")
    assert vp.ProfileStep(kind=vp.ProfileStepKind.Idle) != vp.ProfileStep()


def test_changes_through_lists_reach_the_written_package(samples):
    application = vp.Application.read(samples.bytes("minimal_application"))
    application.tiles[0].segments[0].flags = 6
    application.tiles.append(vp.TileImage(physical_tile=1))
    again = vp.Application.read(application.write())
    assert again.tiles[0].segments[0].flags == 6
    assert [tile.physical_tile for tile in again.tiles] == [0, 1]


def test_copies_share_nothing():
    original = vp.TileImage(segments=[vp.Segment(data=b"\x01")])
    duplicate = copy.deepcopy(original)
    duplicate.segments[0].address = 7
    assert original.segments[0].address == 0
    assert duplicate != original


def test_step_kind_is_an_enumeration_of_the_stored_codes():
    assert [(kind.name, kind.value) for kind in vp.ProfileStepKind] == [
        ("Exchange", 0), ("Compute", 1), ("Synchronization", 2), ("Idle", 3)]


# Field values the library cannot take: TypeError for another type, OverflowError for a
# number out of range, each naming the record and field.
BAD_FIELDS = [
    (lambda: vp.Segment(address=-1), OverflowError, "Segment.address must be from 0 to 4294967295"),
    (lambda: vp.Segment(address=2**32), OverflowError, "Segment.address"),
    (lambda: vp.Segment(address=1.0), TypeError, "Segment.address must be an integer, not float"),
    (lambda: vp.Segment(data="text"), TypeError, "Segment.data must be bytes, not str"),
    (lambda: vp.RegionSlice(size=2**64), OverflowError,
     "RegionSlice.size must be from 0 to 18446744073709551615, not 18446744073709551616"),
    (lambda: vp.Binding(name=b"x"), TypeError, "Binding.name must be a str, not bytes"),
    (lambda: vp.Binding(shape=[1, 2**32]), OverflowError, "Binding.shape[1]"),
    (lambda: vp.Binding(shape=5), TypeError, "Binding.shape must be a list, not int"),
    (lambda: vp.TileImage(segments=[vp.Segment(), vp.HostPage()]), TypeError,
     "TileImage.segments[1] must be a Segment, not HostPage"),
    (lambda: vp.Application(host_exchange=None), TypeError,
     "Application.host_exchange must be a HostExchange, not NoneType"),
    (lambda: vp.ProfileStep(kind=4), OverflowError, "ProfileStep.kind must be from 0 to 3"),
    (lambda: vp.CycleSample(step=vp.ProfileMetadata()), TypeError,
     "CycleSample.step must be a ProfileStep, not ProfileMetadata"),
]


@pytest.mark.parametrize("make, error, text", BAD_FIELDS)
def test_bad_field_values_are_refused_naming_the_field(make, error, text):
    # The conversion every operation starts with.
    with pytest.raises(error, match=re.escape(text)):
        render(make())


def test_a_bad_field_fails_the_operation_before_the_library_runs():
    application = vp.Application(tiles=[vp.TileImage(segments=[vp.Segment(flags=-5)])])
    with pytest.raises(OverflowError, match="Segment.flags"):
        application.write()
    with pytest.raises(OverflowError, match="Segment.flags"):
        application.validate()
    report = vp.ProfileReport(tiles=[vp.TileProfile(samples=[vp.CycleSample(end_cycle=2**32)])])
    with pytest.raises(OverflowError, match="CycleSample.end_cycle"):
        report.write()
    with pytest.raises(OverflowError, match="CycleSample.end_cycle"):
        report.samples()


def test_texts_without_utf8_form_are_refused():
    with pytest.raises(UnicodeEncodeError):
        vp.Application(compiler_version="\ud800").write()


def test_operations_take_only_their_record():
    with pytest.raises(TypeError, match="expected Application, not ProfileReport"):
        vp.Application.write(vp.ProfileReport())


def test_integer_like_values_and_sequences_are_taken():
    binding = vp.Binding(shape=(numpy.uint32(3), 4), slices=(vp.RegionSlice(tile=numpy.int64(2)),))
    assert render(binding) == (
        'Binding { name: "", dtype: "", shape: [3, 4], slices: [RegionSlice { tile: 2, '
        "tile_address: 0, file_offset: 0, size: 0 }] }")
