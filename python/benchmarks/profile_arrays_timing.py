"""Times `ProfileReport.read_samples` against the C++ `ProfileReport::read` on one report.

    PYTHONPATH=BUILD/python /usr/bin/python3 profile_arrays_timing.py \
        BUILD/python/vexa_python_profile_timing [REPEATS]

writes a report of 4 tiles x 1,000,000 samples to a temporary file, then prints the best
wall-clock and processor times of each reader over REPEATS runs (default 5) and their
ratios. On a busy machine the processor times are the steadier comparison.
"""

import subprocess
import sys
import tempfile
import time
from pathlib import Path

import vexa_package


def best_times(function, repeats):
    """The best wall-clock and the best processor time of `repeats` calls."""
    walls, processors = [], []
    for _ in range(repeats):
        wall, processor = time.perf_counter(), time.process_time()
        result = function()
        walls.append(time.perf_counter() - wall)
        processors.append(time.process_time() - processor)
        del result
    return min(walls), min(processors)


def main():
    tool = sys.argv[1]
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    with tempfile.TemporaryDirectory() as directory:
        path = Path(directory) / "large.report"
        subprocess.run([tool, "write", str(path)], check=True)
        output = subprocess.run([tool, "read", str(path), str(repeats)], check=True,
                                capture_output=True, text=True).stdout
        cxx_wall, cxx_processor = map(float, output.split())
        data = path.read_bytes()
    samples = vexa_package.ProfileReport.read_samples(data)
    wall, processor = best_times(lambda: vexa_package.ProfileReport.read_samples(data), repeats)
    print(f"report: {len(data)} bytes, {len(samples.samples)} samples")
    print("                                   wall      processor")
    print(f"C++ ProfileReport::read:           {cxx_wall:6.3f} s  {cxx_processor:6.3f} s")
    print(f"Python ProfileReport.read_samples: {wall:6.3f} s  {processor:6.3f} s")
    print(f"ratio:                             {wall / cxx_wall:6.2f}    {processor / cxx_processor:6.2f}")


if __name__ == "__main__":
    main()
