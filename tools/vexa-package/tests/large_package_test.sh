#!/usr/bin/env bash
# A 64 MiB package: 128 tiles, each with one segment of 0x80000 data bytes, packed from JSON,
# read, dumped and packed again byte for byte.
source "$(dirname "$0")/lib.sh"

"$PYTHON" - <<'PY'
import base64, json, random
rng = random.Random(64)
tiles = []
for number in range(128):
    data = rng.randbytes(0x80000)
    tiles.append({"physical_tile": number, "entry_point": 0x4c000, "command_address": 0x4c100,
                  "diagnostic_address": 0x4c200,
                  "segments": [{"address": 0x4c000, "memory_size": 0x80000,
                                "data": base64.b64encode(data).decode(), "flags": 1}]})
    if number == 127:
        open("tile-127.expected", "wb").write(data)
app = {"compiler_version": "large", "tiles": tiles, "inputs": [], "outputs": [], "weights": [],
       "host_exchange": {"startup_mark": 0, "command_page": 0, "command_offset": 0, "pages": [],
                         "attach_order": [], "calls": []},
       "entry_points": [], "device_config_writes": []}
json.dump(app, open("large.json", "w"))
PY

run 0 pack large.json -o large.vxpkg
python 'import os; assert os.path.getsize("large.vxpkg") > 64 * 2**20, os.path.getsize("large.vxpkg")'
run 0 validate large.vxpkg
contains out "large.vxpkg: ok"
run 0 inspect large.vxpkg
line_matches out '^ +127 +0x4c000 +0x4c100 +0x4c200 +1 +524288 +524288 +0x4c000 +524288$'
run 0 dump large.vxpkg -o large-again.json
run 0 pack large-again.json -o large-again.vxpkg
same large.vxpkg large-again.vxpkg
run 0 image large.vxpkg --tile 127 -o tile-127.bin
same tile-127.expected tile-127.bin

finish
