# Shared by the end-to-end tests of vexa-package; sourced, never run on its own.
#   TOOL      the vexa-package executable        EXAMPLES  the examples directory
#   WORK      a fresh scratch directory          PYTHON    Debian's Python, for JSON and XML
set -euo pipefail

TOOL=$1
EXAMPLES=$2
WORK=$3
PYTHON=/usr/bin/python3
# The test scripts' Python helpers (device_timeline.py) import from here.
export PYTHONPATH
PYTHONPATH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)${PYTHONPATH:+:$PYTHONPATH}
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK"

checks=0
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

pass() {
    checks=$((checks + 1))
}

# run STATUS ARGS...: runs the tool with ARGS, keeping its output in $WORK/out and $WORK/err,
# and checks its exit status.
run() {
    local expected=$1
    shift
    local status=0
    "$TOOL" "$@" >"$WORK/out" 2>"$WORK/err" || status=$?
    if [[ $status -ne $expected ]]; then
        fail "vexa-package $* exited with $status, expected $expected; stderr: $(cat "$WORK/err")"
    else
        pass
    fi
}

# contains FILE TEXT: FILE holds TEXT as a fixed string.
contains() {
    if grep -qF -- "$2" "$1"; then
        pass
    else
        fail "$1 does not contain '$2'; it holds: $(head -c 2000 "$1")"
    fi
}

# lacks FILE TEXT: FILE does not hold TEXT.
lacks() {
    if grep -qF -- "$2" "$1"; then
        fail "$1 contains '$2'"
    else
        pass
    fi
}

# line_matches FILE REGEX: some line of FILE matches the extended regular expression.
line_matches() {
    if grep -qE -- "$2" "$1"; then
        pass
    else
        fail "no line of $1 matches '$2'; it holds: $(head -c 2000 "$1")"
    fi
}

# empty FILE: FILE exists and is empty.
empty() {
    if [[ -f $1 && ! -s $1 ]]; then
        pass
    else
        fail "$1 is not empty: $(head -c 500 "$1")"
    fi
}

# absent PATH: nothing exists at PATH.
absent() {
    if [[ -e $1 ]]; then
        fail "$1 exists"
    else
        pass
    fi
}

# same FILE FILE: the two files are byte for byte equal.
same() {
    if cmp -s "$1" "$2"; then
        pass
    else
        fail "$1 and $2 differ"
    fi
}

# python CODE ARGS...: runs a check written in Python; it fails by raising.
python() {
    local code=$1
    shift
    if "$PYTHON" -c "$code" "$@" 2>"$WORK/python-err"; then
        pass
    else
        fail "python check failed: $(cat "$WORK/python-err")"
    fi
}

# no_leftovers DIR: no temporary file of an atomic write is left in DIR.
no_leftovers() {
    if find "$1" -maxdepth 1 -name '.*.tmp-*' | grep -q .; then
        fail "temporary files left in $1: $(find "$1" -maxdepth 1 -name '.*.tmp-*')"
    else
        pass
    fi
}

# pack_samples: the sample package and report as app.vxpkg and run.vxprof in $WORK.
pack_samples() {
    "$TOOL" -q pack "$EXAMPLES/sample_application.json" -o app.vxpkg
    "$TOOL" -q profile pack "$EXAMPLES/sample_profile.json" -o run.vxprof
}

finish() {
    echo "$checks passed, $failures failed"
    [[ $failures -eq 0 ]]
}
