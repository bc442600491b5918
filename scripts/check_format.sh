#!/usr/bin/env bash
# Fails when any tracked C++ source differs from what clang-format makes of it, and names
# the files and lines. Run `clang-format-19 -i` on the files it lists to fix them.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files '*.cpp' '*.hpp' '*.h')
clang-format-19 --dry-run -Werror "${sources[@]}"
echo "check_format: ${#sources[@]} files formatted"
