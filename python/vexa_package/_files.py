"""Where the library's inputs come from and where its outputs go: bytes or files."""

from __future__ import annotations

import os
from typing import TYPE_CHECKING, Union

if TYPE_CHECKING:
    from _typeshed import ReadableBuffer, StrPath

    #: What a reader takes: the bytes themselves (any bytes-like object) or a file's path.
    Source = Union[ReadableBuffer, StrPath]


def source_bytes(source: Source) -> ReadableBuffer:
    """`source` itself when it holds bytes, else the contents of the file it names.

    A path is a `str` or an `os.PathLike`; a `bytes` object is always taken as the bytes to
    read, never as a path. The file is read whole, so it may be a pipe or a device; to read a
    large file without copying it, pass a `memoryview` of an `mmap` instead.
    """
    if isinstance(source, (str, os.PathLike)):
        with open(source, "rb") as file:
            return file.read()
    return source


def write_file(path: StrPath, data: bytes) -> None:
    """Writes `data` as the whole contents of the file at `path`."""
    with open(path, "wb") as file:
        file.write(data)
