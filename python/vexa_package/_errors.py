"""The library's errors as exceptions: one class per kind under `PackageError`."""

from __future__ import annotations


class PackageError(Exception):
    """A failure reported by the library.

    `kind` names the kind ("Capnp", "Io", "Utf8", "SchemaEnum" or "Invalid") and `message`
    is the library's text, unchanged.
    """

    kind: str | None = None

    def __init__(self, message: str) -> None:
        super().__init__(message)
        self.message = message

    def __str__(self) -> str:
        return self.message


class CapnpError(PackageError):
    """Cap'n Proto could not read or write a message: malformed, truncated or too large."""

    kind = "Capnp"


class IoError(PackageError):
    """An operating-system input/output error."""

    kind = "Io"


class Utf8Error(PackageError):
    """A stored text is not UTF-8.

    `valid_up_to` leading bytes are valid; `error_len` is the length of the invalid sequence
    that starts there, or None when the text ends inside a sequence.
    """

    kind = "Utf8"

    def __init__(self, message: str, valid_up_to: int, error_len: int | None) -> None:
        super().__init__(message)
        self.valid_up_to = valid_up_to
        self.error_len = error_len

    def __reduce__(self) -> tuple[type[Utf8Error], tuple[str, int, int | None]]:
        return type(self), (self.message, self.valid_up_to, self.error_len)


class SchemaEnumError(PackageError):
    """A stored enumeration code that the schema does not define; `value` is the code."""

    kind = "SchemaEnum"

    def __init__(self, message: str, value: int) -> None:
        super().__init__(message)
        self.value = value

    def __reduce__(self) -> tuple[type[SchemaEnumError], tuple[str, int]]:
        return type(self), (self.message, self.value)


class InvalidPackageError(PackageError):
    """A rule of the package format or of validation is broken; `message` names it."""

    kind = "Invalid"
