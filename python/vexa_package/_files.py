"""Where the library's inputs come from and where its outputs go: bytes or files; and which
of the two formats some bytes hold."""

from __future__ import annotations

import enum
import os
from dataclasses import dataclass
from typing import TYPE_CHECKING, Union

from . import _vexa_package

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


class FileKind(enum.IntEnum):
    """Which of the library's two formats some bytes look like.

    A kind prints as its name; its repr is the expression that names it.
    """

    Unknown = 0
    ApplicationPackage = 1
    ProfileReport = 2

    def __repr__(self) -> str:
        return f"{type(self).__name__}.{self.name}"

    def __str__(self) -> str:
        return self.name


@dataclass(frozen=True, slots=True)
class FileIdentity:
    """What the first bytes of an input say about it.

    `message_bytes` is the size of the first message as its segment table announces it, table
    included, or None when the input does not begin with a whole segment table: an input
    shorter than that is truncated, a longer one holds bytes after the message.
    """

    kind: FileKind
    message_bytes: int | None


def identify_file(source: Source) -> FileIdentity:
    """Whether `source` (bytes or a path) holds an application package, a profile report or
    neither, from the stream framing and the shape of the root alone.

    Neither format carries a magic number, so this is a heuristic: a package's root has two
    data words and nine pointers, a report's two data words and one pointer. It never fails
    on the bytes; `Application.read` and `ProfileReport.read` decide for themselves.
    """
    kind, message_bytes = _vexa_package.identify_file(source_bytes(source))
    return FileIdentity(FileKind(kind), message_bytes)
