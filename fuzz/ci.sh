#!/usr/bin/env bash
# Fuzzing in continuous integration: replays the seeds, the kept corpus and the regression
# corpus of every target under the address and undefined-behaviour sanitizers, then runs a
# short libFuzzer campaign per target (VEXA_FUZZ_CI_SECONDS each, default 60) and a short
# AFL++ campaign per reader (VEXA_AFL_CI_SECONDS each, default 60). Fails on any sanitizer
# report, broken invariant, crash or hang.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh
seconds=${VEXA_FUZZ_CI_SECONDS:-60}
afl_seconds=${VEXA_AFL_CI_SECONDS:-60}
asan_build=${VEXA_FUZZ_ASAN_BUILD_DIR:-build/fuzz-asan}
readers=(application_read profile_read)
targets=("${readers[@]}" application_json profile_json)

echo "== fuzz corpus replay under -fsanitize=address,undefined"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B "$asan_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVEXA_PACKAGE_WARNINGS_AS_ERRORS=ON -DVEXA_PACKAGE_BUILD_FUZZERS=ON \
    -DVEXA_PACKAGE_BUILD_TESTS=OFF -DVEXA_PACKAGE_BUILD_EXAMPLES=OFF \
    -DVEXA_PACKAGE_BUILD_TOOLS=ON \
    "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
cmake --build "$asan_build" -j "$(nproc)" \
    --target make_seed_corpus "${targets[@]/%/_replay}"
"$asan_build/fuzz/make_seed_corpus" "$asan_build/seeds"
for target in "${targets[@]}"; do
    corpora=("fuzz/corpus/$target" "fuzz/regression/$target")
    if [[ -d $asan_build/seeds/$target ]]; then
        corpora=("$asan_build/seeds/$target" "${corpora[@]}")
    fi
    for corpus in "${corpora[@]}"; do
        echo "-- $target: $corpus"
        "$asan_build/fuzz/${target}_replay" "$corpus"
    done
done
unset ASAN_OPTIONS UBSAN_OPTIONS

# libFuzzer runs in process on both cores; what a campaign adds to the corpus stays in this
# checkout.
echo "== libFuzzer campaigns, $seconds s each"
for target in "${targets[@]}"; do
    fuzz/run "$target" "$seconds"
done

# AFL++ instruments with GCC and mutates differently; one campaign after the other, as they
# share the AFL++ build.
echo "== AFL++ campaigns, $afl_seconds s each"
for target in "${readers[@]}"; do
    VEXA_AFL_BUILD_DIR="${VEXA_AFL_BUILD_DIR:-$root/build/afl}" fuzz/run-afl "$target" "$afl_seconds"
done
