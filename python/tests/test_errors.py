"""The library's errors as exceptions: classes, attributes and messages."""

import pickle
import struct

import pytest
from conftest import replace_once

import vexa_package as vp

ERROR_CLASSES = {
    "Capnp": vp.CapnpError,
    "Io": vp.IoError,
    "Utf8": vp.Utf8Error,
    "SchemaEnum": vp.SchemaEnumError,
    "Invalid": vp.InvalidPackageError,
}


@pytest.mark.parametrize("kind", sorted(ERROR_CLASSES))
def test_one_class_per_kind_under_package_error(kind):
    cls = ERROR_CLASSES[kind]
    assert issubclass(cls, vp.PackageError)
    assert issubclass(vp.PackageError, Exception)
    assert cls.kind == kind


def marked_application(compiler_version="UTF8MARK"):
    return vp.Application(compiler_version=compiler_version, tiles=[vp.TileImage(
        segments=[vp.Segment(address=0x4C000, memory_size=4, data=b"\x01")])])


# A step whose data section is easy to find: local index, phase, epoch, then the kind code.
MARKED_STEP = struct.pack("<IIIH", 0x11223344, 0x55667788, 0x99AABBCC, 3)


def marked_report(kernel="kernel", metadata_value="value"):
    step = vp.ProfileStep(local_index=0x11223344, phase=0x55667788, epoch=0x99AABBCC,
                          operation="operation", kind=vp.ProfileStepKind.Idle, kernel=kernel,
                          metadata=[vp.ProfileMetadata(name="name", value=metadata_value)])
    return vp.ProfileReport(clock_hz=0x0123456789ABCDEF,
                            tiles=[vp.TileProfile(samples=[vp.CycleSample(step=step)])])


def with_version(data, version):
    # The root's data section: the version word, four unused bytes, then the clock.
    old = struct.pack("<IIQ", 3, 0, 0x0123456789ABCDEF)
    return replace_once(data, old, struct.pack("<IIQ", version, 0, 0x0123456789ABCDEF))


def test_capnp_errors_carry_cap_n_protos_message(samples):
    data = samples.bytes("minimal_application")
    for broken in (b"", data[:12], data[: len(data) // 2]):
        with pytest.raises(vp.CapnpError) as raised:
            vp.Application.read(broken)
        assert raised.value.kind == "Capnp"
        assert raised.value.message
        assert str(raised.value) == raised.value.message


def test_utf8_errors_carry_where_the_text_went_wrong():
    data = marked_application().write()
    with pytest.raises(vp.Utf8Error) as raised:
        vp.Application.read(replace_once(data, b"UTF8MARK", b"UT\xff8MARK"))
    error = raised.value
    assert (error.kind, error.valid_up_to, error.error_len) == ("Utf8", 2, 1)
    assert error.message == "invalid utf-8 sequence of 1 bytes from index 2"

    with pytest.raises(vp.Utf8Error) as raised:
        vp.Application.read(replace_once(data, b"UTF8MARK", b"UTF8MAR\xe2"))
    error = raised.value
    assert (error.valid_up_to, error.error_len) == (7, None)
    assert error.message == "incomplete utf-8 byte sequence from index 7"


def test_schema_enum_errors_carry_the_stored_code():
    data = marked_report().write()
    for code in (4, 0xFFFF):
        broken = replace_once(data, MARKED_STEP, MARKED_STEP[:12] + struct.pack("<H", code))
        with pytest.raises(vp.SchemaEnumError) as raised:
            vp.ProfileReport.read(broken)
        assert (raised.value.kind, raised.value.value) == ("SchemaEnum", code)
        assert raised.value.message == f"enum value not in schema: {code}"


def test_invalid_errors_carry_the_rule_text_unchanged(samples):
    with pytest.raises(vp.InvalidPackageError) as raised:
        vp.Application().write()
    assert (raised.value.kind, raised.value.message) == ("Invalid", "application has no tiles")
    assert repr(raised.value) == "InvalidPackageError('application has no tiles')"

    with pytest.raises(vp.InvalidPackageError, match="^empty or duplicate binding $"):
        vp.Application(tiles=marked_application().tiles, inputs=[vp.Binding()]).validate()

    foreign = replace_once(samples.bytes("minimal_application"), b"vexa21", b"vexa22")
    with pytest.raises(vp.InvalidPackageError, match="^incompatible package header$"):
        vp.Application.read(foreign)

    data = marked_report().write()
    for version in (0, 4):
        with pytest.raises(vp.InvalidPackageError) as raised:
            vp.ProfileReport.read(with_version(data, version))
        assert raised.value.message == f"unsupported profile schema version {version}"


def test_errors_survive_pickling():
    for error in (vp.Utf8Error("m", 3, None), vp.SchemaEnumError("m", 7),
                  vp.InvalidPackageError("m")):
        again = pickle.loads(pickle.dumps(error))
        assert type(again) is type(error)
        assert vars(again) == vars(error)


def bad_reports():
    """Report bytes with every kind of fault the reader refuses."""
    data = marked_report().write()
    kernel_data = marked_report(kernel="kernelXX").write()
    value_data = marked_report(metadata_value="valueXX").write()
    return {
        "empty": b"",
        "truncated": data[: len(data) - 8],
        "bad segment table": b"\xff\xff\xff\xff" + data[4:],
        "version 0": with_version(data, 0),
        "version 4": with_version(data, 4),
        "kind 4": replace_once(data, MARKED_STEP, MARKED_STEP[:12] + b"\x04\x00"),
        "kernel not utf-8": replace_once(kernel_data, b"kernelXX", b"kernel\xc3X"),
        "metadata value not utf-8": replace_once(value_data, b"valueXX", b"value\xed\xa0"),
        "root is a list": data[:8] + b"\x01\x00\x00\x00\x00\x00\x00\x00" + data[16:],
    }


@pytest.mark.parametrize("name", sorted(bad_reports()))
def test_reading_into_arrays_fails_exactly_as_reading_records(name):
    data = bad_reports()[name]
    with pytest.raises(vp.PackageError) as from_records:
        vp.ProfileReport.read(data)
    with pytest.raises(vp.PackageError) as from_arrays:
        vp.ProfileReport.read_samples(data)
    assert type(from_arrays.value) is type(from_records.value)
    assert vars(from_arrays.value) == vars(from_records.value)


def test_the_earliest_fault_decides():
    # Kind 4 in the step, invalid UTF-8 in a later text: the kind is read first.
    data = marked_report(metadata_value="valueXX").write()
    data = replace_once(data, MARKED_STEP, MARKED_STEP[:12] + b"\x04\x00")
    data = replace_once(data, b"valueXX", b"value\xffX")
    with pytest.raises(vp.SchemaEnumError):
        vp.ProfileReport.read(data)
    with pytest.raises(vp.SchemaEnumError):
        vp.ProfileReport.read_samples(data)
