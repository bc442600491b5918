"""Prints the benchmark table: each case's median time beside its baseline's and the ratio.

Usage: table.py [--peak PEAK_MEMORY_JSON] RESULTS_JSON...
"""

import argparse
import json

# (case, benchmark, baseline, target ratio or None when the ratio is only reported)
CASES = [
    ("64 MiB package: write", "bulk/write", "bulk/memcpy", 1.3),
    ("64 MiB package: read, aligned input", "bulk/read_aligned", "bulk/memcpy", 1.3),
    ("64 MiB package: read, odd input address", "bulk/read_odd", "bulk/memcpy", 2.0),
    ("many records: read", "records/read", "records/deep_copy", 1.5),
    ("many records: read", "records/read", "records/raw_traversal", None),
    ("many records: read, odd input address", "records/read_odd", "records/read", None),
    ("many records: write", "records/write", "records/raw_build", 1.0),
    ("validate 600,000 shuffled segments", "segments/validate", "segments/sort", 1.3),
    ("validate many records", "records/validate", "records/read", 0.25),
    ("tile_image, 0x9c000 bytes", "tile_image/tile_image", "tile_image/memset_memcpy", 1.2),
    ("profile 4 x 1,000,000 samples: read", "profile/read", "profile/deep_copy", 1.5),
    ("profile 4 x 1,000,000 samples: read", "profile/read", "profile/raw_traversal", None),
    ("profile 4 x 1,000,000 samples: write", "profile/write", "profile/memcpy", 1.6),
    ("profile 4 x 1,000,000 samples: write", "profile/write", "profile/raw_build", 0.8),
    ("profile 4 x 1,000,000 samples: stream", "profile/stream", "profile/raw_traversal", 1.2),
]

# Peak memory of reading or writing, as a multiple of the package or report size; None:
# reported only.
PEAK_TARGETS = {
    "bulk/write": 1.1,
    "bulk/read_aligned": 2.0,
    "bulk/read_odd": 2.0,
    "records/read_aligned": None,
    "records/read_odd": None,
    "profile/read_aligned": None,
}

SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def aggregates(paths):
    """Median CPU time in seconds, coefficient of variation and memory setting, per benchmark
    name, and the context of the first run."""
    context, medians, spread, memory = None, {}, {}, {}
    for path in paths:
        with open(path, encoding="utf-8") as file:
            results = json.load(file)
        context = context or results.get("context", {})
        for run in results["benchmarks"]:
            if run.get("run_type") != "aggregate":
                continue
            name = run["run_name"]
            memory[name] = results.get("context", {}).get("memory", "?")
            if run["aggregate_name"] == "median":
                medians[name] = run["cpu_time"] * SECONDS[run["time_unit"]]
            elif run["aggregate_name"] == "cv":
                spread[name] = run["cpu_time"]
    return context or {}, medians, spread, memory


def show_time(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--peak")
    parser.add_argument("results", nargs="+")
    arguments = parser.parse_args()
    context, medians, spread, memory = aggregates(arguments.results)
    print(f"Median CPU time over the repetitions of a run on {context.get('num_cpus', '?')} "
          f"CPUs at {context.get('date', '?')}; spread is the larger coefficient of variation "
          "of case and baseline; memory is the allocation setting of bench/main.cpp.")
    print()
    print("| case | median | baseline | baseline median | ratio | target | spread | memory |")
    print("|---|---:|---|---:|---:|---:|---:|---|")
    for case, name, baseline, target in CASES:
        if name not in medians or baseline not in medians:
            continue
        ratio = medians[name] / medians[baseline]
        verdict = "reported" if target is None else (
            f"≤ {target:g} {'met' if ratio <= target else 'MISSED'}")
        noise = max(spread.get(name, 0.0), spread.get(baseline, 0.0))
        print(f"| {case} | {show_time(medians[name])} | {baseline} | "
              f"{show_time(medians[baseline])} | {ratio:.2f} | {verdict} | {noise:.1%} | "
              f"{memory.get(name, '?')} |")
    if arguments.peak:
        with open(arguments.peak, encoding="utf-8") as file:
            peaks = json.load(file)["peak_memory"]
        print()
        print("| peak memory | peak | package or report | ratio | target |")
        print("|---|---:|---:|---:|---:|")
        for peak in peaks:
            ratio = peak["peak_bytes"] / peak["input_bytes"]
            target = PEAK_TARGETS.get(peak["name"])
            verdict = "reported" if target is None else (
                f"≤ ~{target:g} {'met' if ratio <= target * 1.05 else 'MISSED'}")
            print(f"| {peak['name']} | {peak['peak_bytes'] / 2**20:.1f} MiB | "
                  f"{peak['input_bytes'] / 2**20:.1f} MiB | {ratio:.2f} | {verdict} |")


if __name__ == "__main__":
    main()
