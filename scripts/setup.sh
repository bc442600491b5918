#!/usr/bin/env bash
# Installs, from Debian's archive, whatever the build, the tests and the tools need and the
# machine lacks. Safe to run again: it does nothing when everything is present.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    capnproto libcapnp-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libcli11-dev
    afl++ doxygen
    python3 python3-dev python3-numpy python3-pytest pybind11-dev
    python3-pandas python3-mypy python3-pybind11 python3-venv python3-pip python3-setuptools
    python3-wheel python3-build
    libprotobuf-dev protobuf-compiler python3-protobuf help2man groff-base man-db
    clang-19 clang-format-19 libfuzzer-19-dev libclang-rt-19-dev llvm-19 gcovr
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then
        sudo_cmd=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
