#!/usr/bin/env bash
# Makes the files that the demo and the README's examples read, from the samples in examples/:
#   scripts/make_demo_files.sh TOOL OUTDIR
# TOOL is the vexa-package executable; OUTDIR is created if need be and receives
#   sample_application.vxpkg  examples/sample_application.json packed
#   sample_profile.vxprof     examples/sample_profile.json packed
#   truncated.vxpkg           the package's first 300 bytes
#   broken.json               the sample application with a negative segment address
#   syntax.json               the sample application with a value left out
#   duplicate.json            the sample application with physical tile 1 given twice
#   changed.vxpkg             a later build of the sample application (see below)
#   slower.vxprof             the sample profile with every softmax_f16 sample 100 cycles longer
set -euo pipefail
tool=$1
out=$2
examples=$(cd "$(dirname "$0")/../examples" && pwd)
python=/usr/bin/python3
mkdir -p "$out"

"$tool" -q pack "$examples/sample_application.json" -o "$out/sample_application.vxpkg"
"$tool" -q profile pack "$examples/sample_profile.json" -o "$out/sample_profile.vxprof"
head -c 300 "$out/sample_application.vxpkg" >"$out/truncated.vxpkg"

# edit_json IN CODE: prints the JSON of IN after CODE has changed it, held in `model`.
edit_json() {
    "$python" -c "
import json, sys
with open(sys.argv[1], encoding='utf-8') as file:
    model = json.load(file)
$2
json.dump(model, sys.stdout, indent=2)
" "$1"
}

edit_json "$examples/sample_application.json" '
model["tiles"][2]["segments"][0]["address"] = -1
' >"$out/broken.json"

edit_json "$examples/sample_application.json" '
model["tiles"][2]["physical_tile"] = 1
' >"$out/duplicate.json"

# The text itself, so that the line and column of the error are those of the sample's.
"$python" -c '
import sys
text = open(sys.argv[1], encoding="utf-8").read()
value = "\"physical_tile\": 0,"
assert value in text, "the sample application has no physical tile 0"
sys.stdout.write(text.replace(value, "\"physical_tile\": ,", 1))
' "$examples/sample_application.json" >"$out/syntax.json"

# A later build: a new compiler, changed code on tile 0, a longer code segment on tile 1,
# tile 9 dropped with every slice placed on it, embedding weights in int4 and one
# configuration value changed.
edit_json "$examples/sample_application.json" '
model["compiler_version"] = "vexc 4.3.0 (vexa21, -O2, 2027-01-18)"
tiles = model["tiles"]
code = tiles[0]["segments"][0]
code["data"] = code["data"][:8] + "AAAA" + code["data"][12:]
tiles[1]["segments"][0]["memory_size"] = "0x3010"
model["tiles"] = [tile for tile in tiles if tile["physical_tile"] != 9]
for binding in model["inputs"] + model["outputs"] + model["weights"]:
    binding["slices"] = [piece for piece in binding["slices"] if piece["tile"] != 9]
model["weights"][0]["dtype"] = "int4"
model["device_config_writes"][2]["value"] = "0x190"
' | "$tool" -q pack - -o "$out/changed.vxpkg"

edit_json "$examples/sample_profile.json" '
for tile in model["tiles"]:
    for sample in tile["samples"]:
        if sample["step"]["kernel"] == "softmax_f16":
            sample["end_cycle"] = (sample["end_cycle"] + 100) % 2**32
' | "$tool" -q profile pack - -o "$out/slower.vxprof"
