"""The library's events as records of the logger "vexa_package"."""

import logging
import sys
import threading
from concurrent.futures import ThreadPoolExecutor

import pytest

import vexa_package as vp


@pytest.fixture
def events(caplog):
    """Records of the logger "vexa_package" at every level while the sink is installed."""
    caplog.set_level(vp.TRACE, logger="vexa_package")
    vp.log_to_python()
    try:
        yield caplog
    finally:
        vp.stop_logging_to_python()


def application():
    return vp.Application(compiler_version="ç-1.0", tiles=[vp.TileImage(
        physical_tile=3, segments=[vp.Segment(address=0x4C010, memory_size=6, data=b"\x01")])])


def library_records(caplog):
    return [record for record in caplog.records if record.name == "vexa_package"]


def test_each_event_becomes_a_record_with_its_fields(events):
    data = application().write()
    vp.Application.read(data).tile_image(3)
    records = library_records(events)
    assert [(r.levelname, r.levelno, r.getMessage()) for r in records] == [
        ("INFO", logging.INFO, "writing application package"),
        ("INFO", logging.INFO, "application package written"),
        ("INFO", logging.INFO, "reading application package"),
        ("INFO", logging.INFO, "application package read"),
        ("TRACE", vp.TRACE, "reconstructing tile image"),
    ]
    assert records[0].tiles == 1
    assert (records[3].tiles, records[3].compiler) == (1, "ç-1.0")
    assert (records[4].physical_tile, records[4].load_base, records[4].image_bytes) == (
        3, "0x4c010", 6)
    # The record points at the Python code that called the library.
    assert records[0].pathname == __file__


def test_the_logger_level_filters_events(events):
    events.set_level(logging.INFO, logger="vexa_package")
    application().tile_image(3)
    vp.Application.read(application().write())
    assert vp.TRACE < logging.DEBUG
    assert [r.getMessage() for r in library_records(events)] == [
        "writing application package", "application package written",
        "reading application package", "application package read"]


def test_without_the_sink_nothing_is_logged(caplog):
    caplog.set_level(vp.TRACE, logger="vexa_package")
    vp.log_to_python()
    vp.stop_logging_to_python()
    vp.Application.read(application().write()).tile_image(3)
    assert library_records(caplog) == []


def test_errors_emit_no_events(events):
    with pytest.raises(vp.InvalidPackageError):
        vp.Application().write()
    with pytest.raises(vp.CapnpError):
        vp.Application.read(b"")
    assert [r.getMessage() for r in library_records(events)] == ["reading application package"]


def test_events_from_many_threads_reach_the_logger(events):
    data = application().write()
    threads_seen = set()

    def read(_):
        threads_seen.add(threading.get_ident())
        return vp.Application.read(data)

    with ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(read, range(40)))
    assert all(result == application() for result in results)
    reads = [r for r in library_records(events) if "read" in r.getMessage()]
    assert [r.getMessage() for r in reads].count("reading application package") == 40
    assert [r.getMessage() for r in reads].count("application package read") == 40
    assert {r.thread for r in reads} <= threads_seen


def test_a_failing_handler_does_not_fail_the_call(events, monkeypatch):
    class Failing(logging.Handler):
        def emit(self, record):
            raise RuntimeError("handler broke")

    unraisable = []
    monkeypatch.setattr(sys, "unraisablehook", unraisable.append)
    logger = logging.getLogger("vexa_package")
    handler = Failing()
    logger.addHandler(handler)
    try:
        assert vp.Application.read(application().write()) == application()
    finally:
        logger.removeHandler(handler)
    # Each of the four events failed in the handler and was reported as unraisable.
    assert [str(report.exc_value) for report in unraisable] == ["handler broke"] * 4
