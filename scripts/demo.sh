#!/usr/bin/env bash
# The main job: set up the machine, build the vexa-package tool and its man page, and run the
# tool on the samples in examples/: make the sample package and profile and the other files
# the README's examples read (scripts/make_demo_files.sh), inspect the package, rebuild its
# tile images, and write the profile summary, a Perfetto trace and an SVG timeline into out/.
#   VEXA_BUILD_DIR  build directory (default build/)   VEXA_OUT_DIR  output folder (default out/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${VEXA_BUILD_DIR:-build}
out=${VEXA_OUT_DIR:-out}

step() {
    printf '\n== %s\n' "$*"
}

step "set-up"
bash scripts/setup.sh

step "build ($build, Release)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vexa-package vexa-package-man -j "$(nproc)"
tool=$build/tools/vexa-package/vexa-package
man_page=$build/tools/vexa-package/vexa-package.1

package=$out/sample_application.vxpkg
report=$out/sample_profile.vxprof

step "pack the samples and make the README's example files"
bash scripts/make_demo_files.sh "$tool" "$out"
"$tool" validate "$package"

step "inspect $package"
"$tool" inspect "$package" | tee "$out/inspect.txt"
"$tool" inspect "$package" --json >"$out/inspect.json"

step "tile images"
"$tool" image "$package" --all -o "$out/images"

step "profile summary"
"$tool" profile summary "$report" | tee "$out/profile_summary.txt"
"$tool" profile summary "$report" --json >"$out/profile_summary.json"

step "trace and timeline"
"$tool" profile trace "$report" -o "$out/trace.pftrace"
"$tool" profile svg "$report" -o "$out/timeline.svg"

step "man page"
MANWIDTH=100 man -l "$man_page" >"$out/vexa-package.txt"
echo "$man_page, rendered by man -l into $out/vexa-package.txt"

step "done: everything is in $out/"
files=(
    "$package" "the sample application package"
    "$report" "the sample profile report"
    "$out/inspect.txt" "what the package holds (also inspect.json)"
    "$out/images/tile-N.bin" "the rebuilt memory image of each tile"
    "$out/profile_summary.txt" "where the cycles went (also profile_summary.json)"
    "$out/trace.pftrace" "the profile as a Perfetto trace"
    "$out/timeline.svg" "the profile as a picture; open it in a web browser"
    "$out/changed.vxpkg" "a later build of the package, for diff; slower.vxprof, for profile diff"
    "$out/truncated.vxpkg" "a broken package (broken.json, syntax.json, duplicate.json: bad JSON)"
    "$out/vexa-package.txt" "the man page; read it with man -l $man_page"
)
width=0
for ((i = 0; i < ${#files[@]}; i += 2)); do
    if ((${#files[i]} > width)); then
        width=${#files[i]}
    fi
done
for ((i = 0; i < ${#files[@]}; i += 2)); do
    printf '  %-*s  %s\n' "$width" "${files[i]}" "${files[i + 1]}"
done
cat <<TEXT

To explore the trace, open https://ui.perfetto.dev, choose "Open trace file" and pick
$out/trace.pftrace (or drop the file onto the page).
TEXT
