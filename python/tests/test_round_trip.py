"""Reading and writing against the C++ writer's bytes, tile images and validation."""

import mmap

import numpy
import pytest

import vexa_package as vp

APPLICATIONS = ["minimal_application", "batched_application", "rich_application"]
REPORTS = ["wrapping_report", "varied_report"]


def minimal_application():
    return vp.Application(tiles=[vp.TileImage(
        physical_tile=0, entry_point=0x4C000, command_address=0x4C100,
        diagnostic_address=0x4C200,
        segments=[vp.Segment(address=0x4C000, memory_size=8, data=b"\x01\x02\x03\x04",
                             flags=5)])])


def wrapping_report():
    return vp.ProfileReport(clock_hz=1500000000, tiles=[vp.TileProfile(
        physical_tile=17,
        samples=[vp.CycleSample(
            step=vp.ProfileStep(local_index=i, phase=5, epoch=8, operation="accumulate",
                                kind=vp.ProfileStepKind(i), kernel="gemm_f32_accumulate",
                                metadata=[vp.ProfileMetadata(name="innerBlock", value="8")]),
            start_cycle=2**32 - 11 + i, end_cycle=7 + i) for i in range(4)])])


@pytest.mark.parametrize("name", APPLICATIONS)
def test_applications_read_back_as_written_by_cxx(samples, name):
    data = samples.bytes(name)
    application = vp.Application.read(data)
    assert vp._vexa_package.render(application) == samples.text(name)
    assert application.write() == data


@pytest.mark.parametrize("name", REPORTS)
def test_reports_read_back_as_written_by_cxx(samples, name):
    data = samples.bytes(name)
    report = vp.ProfileReport.read(data)
    assert vp._vexa_package.render(report) == samples.text(name)
    assert report.write() == data


def test_records_built_in_python_write_the_cxx_bytes(samples):
    assert minimal_application().write() == samples.bytes("minimal_application")
    assert wrapping_report().write() == samples.bytes("wrapping_report")
    assert vp.Application.read(samples.bytes("minimal_application")) == minimal_application()
    assert vp.ProfileReport.read(samples.bytes("wrapping_report")) == wrapping_report()


def test_read_values_have_python_types(samples):
    application = vp.Application.read(samples.bytes("minimal_application"))
    assert type(application.tiles) is list
    assert type(application.tiles[0].segments[0].data) is bytes
    report = vp.ProfileReport.read(samples.bytes("wrapping_report"))
    assert [sample.step.kind for sample in report.tiles[0].samples] == list(vp.ProfileStepKind)
    assert all(type(s.step.kind) is vp.ProfileStepKind for s in report.tiles[0].samples)


def test_bytes_after_the_message_are_not_examined(samples):
    data = samples.bytes("minimal_application")
    assert vp.Application.read(data + b"\xff" * 13) == minimal_application()
    assert vp.ProfileReport.read(samples.bytes("wrapping_report") + data) == wrapping_report()


def test_any_contiguous_buffer_is_read(samples):
    data = samples.bytes("minimal_application")
    expected = minimal_application()
    assert vp.Application.read(bytearray(data)) == expected
    assert vp.Application.read(memoryview(data)) == expected
    assert vp.Application.read(numpy.frombuffer(data, dtype=numpy.uint8)) == expected
    # One byte in: the message is no longer word-aligned.
    assert vp.Application.read(memoryview(b"\x00" + data)[1:]) == expected


def test_a_memory_mapped_file_is_read_through_a_memoryview(samples, tmp_path):
    path = tmp_path / "report.bin"
    path.write_bytes(samples.bytes("varied_report"))
    with open(path, "rb") as file, mmap.mmap(file.fileno(), 0, access=mmap.ACCESS_READ) as mapped:
        view = memoryview(mapped)
        try:
            report = vp.ProfileReport.read(view)
            assert vp._vexa_package.render(report) == samples.text("varied_report")
            assert vp.ProfileReport.read_samples(view).samples.size == 3
        finally:
            view.release()


def test_buffers_that_are_not_bytes_in_order_are_refused(samples):
    data = samples.bytes("minimal_application")
    with pytest.raises(BufferError):
        vp.Application.read(memoryview(data + data)[::2])
    with pytest.raises(TypeError):
        vp.Application.read(list(data))


def test_tile_image_rebuilds_the_memory_of_one_tile():
    assert minimal_application().tile_image(0) == b"\x01\x02\x03\x04\x00\x00\x00\x00"
    with pytest.raises(vp.InvalidPackageError, match="^unknown tile 9$"):
        minimal_application().tile_image(9)
    with pytest.raises(OverflowError, match="^physical_tile must be from 0 to 4294967295, not -1$"):
        minimal_application().tile_image(-1)


def test_tile_image_uses_the_first_tile_of_a_number_and_reads_no_other():
    application = minimal_application()
    first = application.tiles[0]
    application.tiles = [
        vp.TileImage(physical_tile=4, segments=[vp.Segment(address=-1)]),
        vp.TileImage(physical_tile=0, segments=[vp.Segment(address=0x4C004, memory_size=2,
                                                           data=b"\x09")]),
        first,
    ]
    assert application.tile_image(0) == b"\x09\x00"
    application.tiles[0].physical_tile = -1
    with pytest.raises(OverflowError, match="TileImage.physical_tile"):
        application.tile_image(0)


def test_tile_image_reports_a_tile_without_loadable_segments():
    application = vp.Application(tiles=[vp.TileImage(physical_tile=3)])
    with pytest.raises(vp.InvalidPackageError, match="^tile has no loadable segments$"):
        application.tile_image(3)


def test_validate_returns_nothing_or_raises_the_first_broken_rule():
    application = minimal_application()
    assert application.validate() is None
    application.device_config_writes = [vp.DeviceConfigWrite(offset=4, value=1),
                                        vp.DeviceConfigWrite(offset=4, value=2)]
    with pytest.raises(vp.InvalidPackageError,
                       match="^unaligned or duplicate device configuration write$"):
        application.validate()
    with pytest.raises(vp.InvalidPackageError):
        application.write()
