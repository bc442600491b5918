#!/usr/bin/env bash
# image: rebuilt tile images, one tile or all of them.
source "$(dirname "$0")/lib.sh"
pack_samples

run 0 image app.vxpkg --tile 8 -o tile8.bin
contains err "tile 8: load base 0x4c000, 81920 bytes, tile8.bin"
# The image holds each segment's data at its offset from the load base and zeros elsewhere.
python '
import base64, json, sys
app = json.load(open(sys.argv[1]))
tile = next(t for t in app["tiles"] if t["physical_tile"] == 8)
image = open("tile8.bin", "rb").read()
assert len(image) == 0x14000, len(image)
expected = bytearray(0x14000)
for segment in tile["segments"]:
    data = segment["data"]
    raw = bytes.fromhex(data["hex"]) if isinstance(data, dict) else base64.b64decode(data)
    offset = int(segment["address"], 16) - 0x4c000
    expected[offset:offset + len(raw)] = raw
assert image == bytes(expected)
assert image[0x4000:0x4004] == bytes.fromhex("0000803f")
' "$EXAMPLES/sample_application.json"

# Segments listed out of address order (tile 9) still start the image at the lowest address.
run 0 image app.vxpkg --tile 9 -o tile9.bin
contains err "tile 9: load base 0x4c000, 81920 bytes"

# Standard output takes the bytes; the line about them goes to standard error.
"$TOOL" image app.vxpkg --tile 8 -o - >stdout.bin 2>stdout.err
same tile8.bin stdout.bin
contains stdout.err "tile 8: load base 0x4c000, 81920 bytes, standard output"

run 0 image app.vxpkg --all -o images
for tile in 0 1 2 3 8 9; do
    contains err "tile $tile: load base 0x4c000, 81920 bytes, images/tile-$tile.bin"
done
same tile8.bin images/tile-8.bin
python 'import os; assert sorted(os.listdir("images")) == ["tile-%d.bin" % n for n in (0, 1, 2, 3, 8, 9)]'

# A tile without segments has no image: --tile fails, --all says so and goes on.
"$PYTHON" - "$EXAMPLES/sample_application.json" <<'PY'
import json, sys
app = json.load(open(sys.argv[1]))
app["tiles"].append({"physical_tile": 12, "entry_point": 0, "command_address": 0,
                     "diagnostic_address": 0, "segments": []})
json.dump(app, open("bare.json", "w"))
PY
"$TOOL" pack bare.json -o bare.vxpkg
run 1 image bare.vxpkg --tile 12 -o bare.bin
contains err 'vexa-package: bare.vxpkg: Invalid("tile has no loadable segments")'
absent bare.bin
run 0 image bare.vxpkg --all -o bare-images
contains err "tile 12: no loadable segments, no file written"
absent bare-images/tile-12.bin

run 1 image app.vxpkg --tile 4 -o none.bin
contains err 'vexa-package: app.vxpkg: Invalid("unknown tile 4")'
absent none.bin
# --all needs a directory: a command line that asks otherwise is a usage error.
run 2 image app.vxpkg --all -o -
contains err "--all writes one file per tile into a directory"
run 2 image app.vxpkg --all
contains err "vexa-package: standard output: --all writes one file per tile into a directory; give -o DIR"

finish
