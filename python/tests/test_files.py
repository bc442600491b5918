"""Readers take bytes or a path; `write` returns bytes or writes a file."""

import os
import pathlib
import threading

import numpy
import pytest

import vexa_package as vp


class CustomPath:
    """An `os.PathLike` that is not a `pathlib.Path`."""

    def __init__(self, path):
        self.path = path

    def __fspath__(self):
        return str(self.path)


def same_result(first, second):
    if isinstance(first, vp.ProfileSamples):
        return numpy.array_equal(first.samples, second.samples) and first[1:] == second[1:]
    return first == second


READERS = [
    (vp.Application.read, "rich_application"),
    (vp.ProfileReport.read, "varied_report"),
    (vp.ProfileReport.read_samples, "varied_report"),
]


@pytest.mark.parametrize("read, name", READERS)
def test_readers_take_bytes_like_objects_and_paths_alike(samples, tmp_path, read, name):
    data = samples.bytes(name)
    path = tmp_path / "input.bin"
    path.write_bytes(data)
    expected = read(data)
    for source in (str(path), path, CustomPath(path), bytearray(data), memoryview(data)):
        assert same_result(read(source), expected), source


@pytest.mark.parametrize("read, name", READERS)
def test_a_bytes_object_is_data_even_when_it_names_a_file(samples, tmp_path, monkeypatch,
                                                           read, name):
    monkeypatch.chdir(tmp_path)
    pathlib.Path("input").write_bytes(samples.bytes(name))
    with pytest.raises(vp.CapnpError):
        read(b"input")


@pytest.mark.parametrize("read, name", READERS)
def test_paths_that_cannot_be_read_raise_the_os_error(tmp_path, read, name):
    with pytest.raises(FileNotFoundError):
        read(tmp_path / "missing")
    with pytest.raises(IsADirectoryError):
        read(str(tmp_path))


def test_a_pipe_is_read_to_its_end(samples, tmp_path):
    data = samples.bytes("varied_report")
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)

    def feed():
        with open(fifo, "wb") as pipe:
            pipe.write(data)

    feeder = threading.Thread(target=feed)
    feeder.start()
    try:
        assert vp.ProfileReport.read(fifo) == vp.ProfileReport.read(data)
    finally:
        feeder.join()


def test_write_to_a_path_writes_the_bytes_it_would_return(samples, tmp_path):
    application = vp.Application.read(samples.bytes("rich_application"))
    report = vp.ProfileReport.read(samples.bytes("varied_report"))
    for record, path in ((application, tmp_path / "app.bin"), (report, str(tmp_path / "r.bin"))):
        assert record.write(path) is None
        assert pathlib.Path(path).read_bytes() == record.write()
        assert type(record).read(path) == record


def test_an_invalid_application_leaves_the_file_alone(samples, tmp_path):
    path = tmp_path / "app.bin"
    path.write_bytes(b"earlier contents")
    with pytest.raises(vp.InvalidPackageError, match="^application has no tiles$"):
        vp.Application().write(path)
    assert path.read_bytes() == b"earlier contents"
    with pytest.raises(FileNotFoundError):
        vp.ProfileReport().write(tmp_path / "missing" / "report.bin")


def test_identify_file_tells_packages_from_reports(samples, tmp_path):
    package = samples.bytes("rich_application")
    report = samples.bytes("varied_report")
    assert vp.identify_file(package) == vp.FileIdentity(vp.FileKind.ApplicationPackage, len(package))
    assert vp.identify_file(report) == vp.FileIdentity(vp.FileKind.ProfileReport, len(report))
    # A report reads a package as an empty report; identification is what tells them apart.
    path = tmp_path / "package.bin"
    path.write_bytes(package)
    assert vp.identify_file(path).kind is vp.FileKind.ApplicationPackage
    assert vp.identify_file(str(path)).kind is vp.FileKind.ApplicationPackage


def test_identify_file_announces_the_size_that_shows_truncation_and_trailing_bytes(samples):
    report = samples.bytes("varied_report")
    assert vp.identify_file(report[:40]) == vp.FileIdentity(vp.FileKind.ProfileReport, len(report))
    assert vp.identify_file(memoryview(report + b"more")).message_bytes == len(report)
    assert vp.identify_file(b"") == vp.FileIdentity(vp.FileKind.Unknown, None)
    assert vp.identify_file(b'{"clock_hz": 1}') == vp.FileIdentity(vp.FileKind.Unknown, None)
    assert str(vp.FileKind.ProfileReport) == "ProfileReport"
    assert repr(vp.FileKind.Unknown) == "FileKind.Unknown"
