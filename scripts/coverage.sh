#!/usr/bin/env bash
# Line and branch coverage of the library's sources (src/) by the whole test suite, the tool's
# end-to-end tests and the replay of every fuzz corpus and regression input:
#
#   scripts/coverage.sh [--check]
#
# Builds with Clang 19's source-based coverage in its own build directory (VEXA_COVERAGE_BUILD_DIR,
# default build/coverage), runs ctest with one profile per process, merges the profiles and prints
# per file of src/ the line and branch coverage, the totals, then the uncovered lines and the lines
# with a branch never taken. With --check, exits 1 when the totals fall below 95 % of lines or
# 90 % of branches.
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
case ${1:-} in
    "") ;;
    --check) check=1 ;;
    *)
        echo "usage: scripts/coverage.sh [--check]" >&2
        exit 2
        ;;
esac

root=$(pwd)
build=${VEXA_COVERAGE_BUILD_DIR:-build/coverage}
profiles=$build/profiles
flags="-fprofile-instr-generate -fcoverage-mapping"

# -O0 keeps every source line its own counter; benchmarks, examples and Python run no tests.
CC=clang-19 CXX=clang++-19 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" \
    -DVEXA_PACKAGE_WARNINGS_AS_ERRORS=OFF -DVEXA_PACKAGE_BUILD_TESTS=ON \
    -DVEXA_PACKAGE_BUILD_TOOLS=ON -DVEXA_PACKAGE_BUILD_EXAMPLES=OFF \
    -DVEXA_PACKAGE_BUILD_BENCHMARKS=OFF -DVEXA_PACKAGE_BUILD_PYTHON=OFF \
    -DVEXA_PACKAGE_BUILD_FUZZERS=OFF >/dev/null
cmake --build "$build" -j 2

# Old profiles would count runs of older binaries; %p and %m give every process its own file.
rm -rf "$profiles"
mkdir -p "$profiles"
LLVM_PROFILE_FILE="$root/$profiles/%p-%m.profraw" \
    ctest --test-dir "$build" --output-on-failure -j 2 >"$build/coverage-ctest.log" ||
    {
        tail -n 40 "$build/coverage-ctest.log" >&2
        echo "coverage: tests failed, see $build/coverage-ctest.log" >&2
        exit 1
    }
find "$profiles" -name '*.profraw' >"$build/profiles.list"
llvm-profdata-19 merge -sparse -f "$build/profiles.list" -o "$build/coverage.profdata"

# Every program the tests ran links the library statically and carries its own mapping.
objects=()
while IFS= read -r program; do
    if ((${#objects[@]} == 0)); then
        objects+=("$program")
    else
        objects+=(-object "$program")
    fi
done < <(find "$build/tests" "$build/tools" "$build/fuzz" -maxdepth 2 -type f -perm -u+x \
    \( -name vexa_package_tests -o -name vexa-package -o -name '*_replay' \
    -o -name make_seed_corpus \) | sort)

# The table and the branches come from the JSON export, whose summaries are those of
# `llvm-cov report` (a template's instantiations count once); the uncovered lines from lcov.
cov=(-instr-profile="$build/coverage.profdata" "${objects[@]}" src/*.cpp src/*.hpp)
llvm-cov-19 export -format=text "${cov[@]}" >"$build/coverage.json"
llvm-cov-19 export -format=lcov "${cov[@]}" >"$build/coverage.lcov"

python3 - "$build/coverage.json" "$build/coverage.lcov" "$root/" "$check" <<'EOF'
import json
import sys

export, lcov, root, check = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4] == "1"
files = {f["filename"].removeprefix(root): f for f in json.load(open(export))["data"][0]["files"]}

missed_lines = {}
current = None
for line in open(lcov):
    if line.startswith("SF:"):
        current = missed_lines.setdefault(line[3:].strip().removeprefix(root), [])
    elif line.startswith("DA:"):
        number, count = line[3:].split(",")[:2]
        if int(count) == 0:
            current.append(int(number))


def percent(part):
    return 100.0 * part["covered"] / part["count"] if part["count"] else 100.0


def ranges(numbers):
    out = []
    for n in sorted(numbers):
        if out and n == out[-1][1] + 1:
            out[-1][1] = n
        else:
            out.append([n, n])
    return ",".join(f"{a}" if a == b else f"{a}-{b}" for a, b in out)


width = max(len(name) for name in files)
print(f"{'file':<{width}}  {'lines':>11} {'%':>7}  {'branches':>9} {'%':>7}")


def row(name, summary):
    lines, branches = summary["lines"], summary["branches"]
    print(f"{name:<{width}}  {lines['covered']:>5}/{lines['count']:<5} {percent(lines):>6.1f}%"
          f"  {branches['covered']:>4}/{branches['count']:<4} {percent(branches):>6.1f}%")


totals = {kind: {"covered": 0, "count": 0} for kind in ("lines", "branches")}
for name in sorted(files):
    summary = files[name]["summary"]
    row(name, summary)
    for kind, total in totals.items():
        total["covered"] += summary[kind]["covered"]
        total["count"] += summary[kind]["count"]
row("total", totals)

print("\nuncovered lines:")
for name in sorted(missed_lines):
    if missed_lines[name]:
        print(f"  {name}:{ranges(missed_lines[name])}")

# A branch in a template counts as taken when any instantiation took it.
print("\nbranches never taken (line:column, and the side never taken):")
for name in sorted(files):
    taken = {}
    for branch in files[name]["branches"]:
        at = (branch[0], branch[1])
        true_count, false_count = taken.get(at, (0, 0))
        taken[at] = (true_count + branch[4], false_count + branch[5])
    sides = [f"{line}:{column} {'true' if t == 0 else 'false'}"
             for (line, column), (t, f) in sorted(taken.items()) if t == 0 or f == 0]
    if sides:
        print(f"  {name}: {', '.join(sides)}")

if check and (percent(totals["lines"]) < 95.0 or percent(totals["branches"]) < 90.0):
    print("\ncoverage: below 95 % of lines or 90 % of branches", file=sys.stderr)
    sys.exit(1)
EOF
