"""Shared fixtures: the C++-written samples and small helpers for crafted bytes."""

import os
import subprocess
from pathlib import Path

import pytest


class Samples:
    """The files of `vexa_python_sample_files`: NAME.bin bytes and NAME.txt renderings."""

    def __init__(self, directory: Path) -> None:
        self.directory = directory

    def bytes(self, name: str) -> bytes:
        return (self.directory / f"{name}.bin").read_bytes()

    def text(self, name: str) -> str:
        return (self.directory / f"{name}.txt").read_text(encoding="utf-8")


@pytest.fixture(scope="session")
def samples(tmp_path_factory) -> Samples:
    writer = os.environ.get("VEXA_PACKAGE_SAMPLE_FILES")
    if not writer:
        raise pytest.UsageError(
            "VEXA_PACKAGE_SAMPLE_FILES must name the vexa_python_sample_files program; "
            "run the tests through ctest")
    directory = tmp_path_factory.mktemp("samples")
    subprocess.run([writer, str(directory)], check=True)
    return Samples(directory)


def replace_once(data: bytes, old: bytes, new: bytes) -> bytes:
    """`data` with its one occurrence of `old` replaced by `new` of the same length."""
    assert len(old) == len(new)
    assert data.count(old) == 1, f"{old!r} occurs {data.count(old)} times"
    return data.replace(old, new)
