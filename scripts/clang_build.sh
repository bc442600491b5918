#!/usr/bin/env bash
# The whole project built with Clang 19, warnings as errors, and its test suite run: the
# library, the tool, the examples, the Python module, the benchmarks and every fuzz target,
# libFuzzer programs included. GCC and Clang warn about different things; both must be clean.
# The Python package as pip installs it is checked once, by the GCC run.
set -euo pipefail
cd "$(dirname "$0")/.."

VEXA_BUILD_DIR=${VEXA_CLANG_BUILD_DIR:-build/clang} CC=clang-19 CXX=clang++-19 \
    bash scripts/test.sh -DVEXA_PACKAGE_BUILD_BENCHMARKS=ON -DVEXA_PACKAGE_BUILD_FUZZERS=ON \
    -DVEXA_PACKAGE_CHECK_PYTHON_PACKAGE=OFF "$@"
