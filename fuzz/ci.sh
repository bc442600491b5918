#!/usr/bin/env bash
# Fuzzing in continuous integration: replays the seeds, the kept corpus and the regression
# corpus of both readers under the address and undefined-behaviour sanitizers, then runs a
# short AFL++ campaign per reader (VEXA_FUZZ_CI_SECONDS each, default 120). Fails on any
# sanitizer report, broken invariant, crash or hang.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh
seconds=${VEXA_FUZZ_CI_SECONDS:-120}
asan_build=${VEXA_FUZZ_ASAN_BUILD_DIR:-build/fuzz-asan}
targets=(application_read profile_read)

echo "== fuzz corpus replay under -fsanitize=address,undefined"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B "$asan_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVEXA_PACKAGE_WARNINGS_AS_ERRORS=ON -DVEXA_PACKAGE_BUILD_FUZZERS=ON \
    -DVEXA_PACKAGE_BUILD_TESTS=OFF -DVEXA_PACKAGE_BUILD_EXAMPLES=OFF \
    -DVEXA_PACKAGE_BUILD_TOOLS=OFF \
    "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
cmake --build "$asan_build" -j "$(nproc)" \
    --target make_seed_corpus "${targets[@]/%/_replay}"
"$asan_build/fuzz/make_seed_corpus" "$asan_build/seeds"
for target in "${targets[@]}"; do
    for corpus in "$asan_build/seeds/$target" "fuzz/corpus/$target" "fuzz/regression/$target"; do
        echo "-- $target: $corpus"
        "$asan_build/fuzz/${target}_replay" "$corpus"
    done
done
unset ASAN_OPTIONS UBSAN_OPTIONS

# One campaign after the other: they share the AFL++ build, and the machine's two cores are
# better spent on one campaign and whatever else runs.
echo "== AFL++ campaigns, $seconds s each"
for target in "${targets[@]}"; do
    VEXA_AFL_BUILD_DIR="${VEXA_AFL_BUILD_DIR:-$root/build/afl}" fuzz/run "$target" "$seconds"
done
