"""The Python example of examples/ prints what the bundled sample holds."""

import collections
import json
import os
import subprocess
import sys
from pathlib import Path

import pytest


@pytest.fixture
def examples():
    source = os.environ.get("VEXA_PACKAGE_SOURCE_DIR")
    if not source:
        raise pytest.UsageError("VEXA_PACKAGE_SOURCE_DIR is not set; run the tests through ctest")
    return Path(source) / "examples"


def test_the_pandas_example_prints_the_span_and_the_top_kernels(examples, tmp_path):
    # Computed here from the JSON: each tile's counter wraps once at most between two samples
    # in this sample, and all tiles start within a few hundred cycles of each other.
    document = json.loads((examples / "sample_profile.json").read_text(encoding="utf-8"))
    starts, ends, busy = [], [], collections.Counter()
    for tile in document["tiles"]:
        wraps, previous = 0, None
        for sample in tile["samples"]:
            start = sample["start_cycle"]
            wraps += previous is not None and start < previous
            previous = start
            cycles = (sample["end_cycle"] - start) % 2**32
            starts.append(wraps * 2**32 + start)
            ends.append(wraps * 2**32 + start + cycles)
            if sample["step"]["kind"] != "Idle":
                busy[sample["step"]["kernel"]] += cycles
    span = max(ends) - min(starts)

    output = subprocess.run([sys.executable, str(examples / "profile_in_pandas.py")],
                            cwd=tmp_path, check=True, capture_output=True, text=True).stdout
    lines = output.splitlines()
    assert lines[0].startswith(f"{len(starts)} samples on {len(document['tiles'])} tiles, "
                               f"{span} cycles = ")
    top = [line.split()[:3:2] for line in lines[3:]]
    assert top == [[kernel, str(cycles)] for kernel, cycles in busy.most_common(5)]
