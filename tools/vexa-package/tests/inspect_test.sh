#!/usr/bin/env bash
# inspect: the text overview and its JSON form, on the sample application.
source "$(dirname "$0")/lib.sh"
pack_samples

run 0 inspect app.vxpkg
contains out "compiler version  vexc 4.2.1 (vexa21, -O2, 2026-11-30)"
line_matches out '^tiles: 6$'
# tile, entry, command, diagnostic, segments, data bytes, memory bytes, load base, image size
line_matches out '^ +0 +0x4c000 +0x58000 +0x5f000 +3 +80 +49152 +0x4c000 +81920$'
line_matches out '^ +9 +0x4c000 +0x58000 +0x5f000 +3 +80 +49152 +0x4c000 +81920$'
line_matches out '^inputs: 2$'
line_matches out '^ +tokens +int32 +\[1, 128\] +2 +512 +0-1$'
line_matches out '^ +logits +float16 +\[1, 128, 512\] +2 +131072 +8-9$'
line_matches out '^ +block0\.attention\.qkv +float16 +\[256, 768\] +6 +393216 +0-3, 8-9$'
contains out "startup mark  0x56584131"
contains out "command word  page 0, bytes 0x40..0x44 of 4096 bytes"
contains out "attach order  0, 3, 1, 2"
line_matches out '^ +3 +1179648$'
# name, command, phases, invocations, slices, batches and bytes in and out
line_matches out '^ +decode_step +0x21 +2 +127 +4 +4 +1024 +4 +2 +131072$'
line_matches out '^ +load_weights +0x10 +1 +1 +4 +2 +1179648 +0 +0 +0$'
line_matches out '^ +prefill +0x20 +2$'
line_matches out '^ +0x4018 +0x80000001$'
empty err

# Columns line up: every row of the tile table is as long as its header line.
python '
import sys
lines = open("out").read().split("\n")
start = lines.index("tiles: 6") + 1
table = lines[start:start + 7]
widths = {len(line) for line in table}
assert len(widths) == 1, table
'

run 0 inspect app.vxpkg --json
python '
import json
facts = json.load(open("out"))
assert facts["compiler_version"].startswith("vexc 4.2.1")
tiles = facts["tiles"]
assert [t["physical_tile"] for t in tiles] == [0, 1, 2, 3, 8, 9]
for tile in tiles:
    assert tile["segment_count"] == 3 and tile["load_base"] == 0x4c000, tile
    assert tile["image_size"] == 0x14000 and tile["data_bytes"] == 80, tile
    for segment in tile["segments"]:
        assert "data" not in segment and "data_bytes" in segment, segment
qkv = facts["weights"][1]
assert qkv["name"] == "block0.attention.qkv" and qkv["total_bytes"] == 393216
assert qkv["tiles"] == [0, 1, 2, 3, 8, 9] and qkv["slice_count"] == 6
calls = {c["name"]: c for c in facts["host_exchange"]["calls"]}
assert calls["decode_step"]["invocations"] == 127
assert calls["decode_step"]["output_batches"] == 2 and calls["decode_step"]["output_bytes"] == 131072
assert facts["host_exchange"]["attach_order"] == [0, 3, 1, 2]
assert facts["device_config_writes"][3] == {"offset": 0x4018, "value": 0x80000001}
'

# Standard input works as a package.
"$TOOL" inspect - <app.vxpkg >stdin-out
contains stdin-out "package           standard input"

# Hundreds of tiles stay one aligned row each.
"$PYTHON" - <<'PY'
import json
tiles = [{"physical_tile": n, "entry_point": 0x4c000, "command_address": 0x4c100,
          "diagnostic_address": 0x4c200,
          "segments": [{"address": 0x4c000, "memory_size": 16 * (n + 1), "data": "AQID", "flags": 0}]}
         for n in range(300)]
app = {"compiler_version": "many", "tiles": tiles, "inputs": [], "outputs": [], "weights": [],
       "host_exchange": {"startup_mark": 0, "command_page": 0, "command_offset": 0, "pages": [],
                         "attach_order": [], "calls": []},
       "entry_points": [], "device_config_writes": []}
json.dump(app, open("many.json", "w"))
PY
"$TOOL" pack many.json -o many.vxpkg
run 0 inspect many.vxpkg
line_matches out '^tiles: 300$'
line_matches out '^ +299 +0x4c000 +0x4c100 +0x4c200 +1 +3 +4800 +0x4c000 +4800$'
python '
lines = open("out").read().split("\n")
start = lines.index("tiles: 300") + 1
assert len({len(line) for line in lines[start:start + 301]}) == 1
'

# A report is named as one, with the command that reads it.
run 1 inspect run.vxprof
contains err "vexa-package: run.vxprof: this is a profile report, not an application package; use 'vexa-package profile summary'"
empty out

finish
