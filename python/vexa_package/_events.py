"""The library's diagnostic events as records of the `logging` logger "vexa_package"."""

from __future__ import annotations

import atexit
import logging

from . import _vexa_package

#: The level of the library's TRACE events, below `logging.DEBUG`.
TRACE = 5


def log_to_python() -> None:
    """Forwards every event of the library to the logger "vexa_package".

    Each event becomes a record at the matching level (TRACE is `TRACE`, WARN is
    `logging.WARNING`) with the event's message and its fields as record attributes, so a
    "application package read" record has `record.tiles` and `record.compiler`.
    """
    logging.addLevelName(TRACE, "TRACE")
    _vexa_package.install_log_sink()
    # Events must not reach an interpreter that is shutting down.
    atexit.unregister(stop_logging_to_python)
    atexit.register(stop_logging_to_python)


def stop_logging_to_python() -> None:
    """Stops forwarding events; the library drops them again."""
    _vexa_package.remove_log_sink()
