#!/usr/bin/env bash
# Set-up, build and the whole test suite: scripts/test.sh [extra CMake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
build=${VEXA_BUILD_DIR:-build/test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEXA_PACKAGE_WARNINGS_AS_ERRORS=ON -DVEXA_PACKAGE_BUILD_PYTHON=ON "$@"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
