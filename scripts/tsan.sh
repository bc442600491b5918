#!/usr/bin/env bash
# The thread-safety tests under GCC's thread sanitizer, failing on any report:
#   scripts/tsan.sh [extra CMake arguments...]
# Builds the test program in build/tsan (VEXA_TSAN_BUILD_DIR overrides).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
build=${VEXA_TSAN_BUILD_DIR:-build/tsan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEXA_PACKAGE_WARNINGS_AS_ERRORS=ON -DVEXA_PACKAGE_BUILD_EXAMPLES=OFF \
    -DVEXA_PACKAGE_BUILD_TOOLS=OFF \
    "-DCMAKE_CXX_FLAGS=-fsanitize=thread -fno-omit-frame-pointer" \
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread" "$@"
cmake --build "$build" -j "$(nproc)" --target vexa_package_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
    "$build/tests/vexa_package_tests" --gtest_filter='ThreadSafety.*'
