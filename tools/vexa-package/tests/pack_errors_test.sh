#!/usr/bin/env bash
# pack of a model that breaks a rule: the library's message, then the record that breaks it
# with the values and the bound, both on standard error; nothing written, exit status 1.
source "$(dirname "$0")/lib.sh"
mkdir outputs

# breaks NAME CODE: the sample application changed by CODE (Python on `app`) as NAME.json.
breaks() {
    "$PYTHON" -c "
import json, sys
app = json.load(open(sys.argv[1]))
$2
json.dump(app, open('$1.json', 'w'), indent=1)
" "$EXAMPLES/sample_application.json"
}

# refused NAME MESSAGE LOCATION: pack of NAME.json fails with exactly these two lines, and the
# records the location names are there in NAME.json.
refused() {
    run 1 pack "$1.json" -o outputs/p.vxpkg
    empty out
    python '
import sys
lines = open("err").read().splitlines()
expected = ["vexa-package: %s.json: Invalid(\"%s\")" % (sys.argv[1], sys.argv[2]),
            "vexa-package: %s.json: %s" % (sys.argv[1], sys.argv[3])]
assert lines == expected, (lines, expected)
' "$@"
    python '
import json, re, sys
app = json.load(open(sys.argv[1] + ".json"))
for path in sys.argv[2].split(": ")[0].split(" and "):
    value = app
    for name, index in re.findall(r"([a-z_]+)|\[(\d+)\]", path):
        value = value[name] if name else value[int(index)]
' "$1" "$3"
}

breaks segment 'app["tiles"][2]["segments"][1]["address"] = 0'
refused segment "invalid segment on tile 2" \
    "tiles[2].segments[1]: address 0x0 is below the tile memory window 0x4c000..0xe8000"

# Tile 9 lists its segments out of address order.
breaks overlap 'app["tiles"][5]["segments"][2]["address"] = "0x4c800"'
refused overlap "overlapping segments on tile 9: 0x4c000..0x4f000 and 0x4c800..0x4d800" \
    "tiles[5].segments[1] and tiles[5].segments[2]: ranges 0x4c000..0x4f000 and 0x4c800..0x4d800 overlap by 0x1000 bytes"

breaks tile 'app["tiles"][4]["physical_tile"] = 2'
refused tile "duplicate physical tile 2" "tiles[4]: physical_tile 2 is already used by tiles[2]"

breaks slice 'app["weights"][3]["slices"][1]["tile_address"] = "0xe0000"'
refused slice "binding lm_head.weight references invalid tile memory" \
    "weights[3].slices[1]: tile_address 0xe0000 + size 0x10000 ends at 0xf0000, past the tile memory window 0x4c000..0xe8000"

breaks name 'app["outputs"][0]["name"] = "attention_mask"'
refused name "empty or duplicate binding attention_mask" \
    "outputs[0]: name is already used by inputs[1]"

breaks batches 'app["host_exchange"]["calls"][2]["input_batch_ends"] = [1, 2]'
refused batches "host call decode_step input batches cover 2 of 4 slices" \
    "host_exchange.calls[2].input_batch_ends: the last end is 2, but there are 4 slices in inputs; the last end must be 4"

breaks bounds 'app["host_exchange"]["calls"][1]["outputs"][0]["size"] = "0x40001"'
refused bounds "host call prefill exceeds page bounds" \
    "host_exchange.calls[1].outputs[0]: page_offset 0x0 + size 0x40001 ends at 0x40001, past the size 0x40000 of page 2 (host_exchange.pages[2])"

breaks startup 'app["host_exchange"]["command_offset"] = "0xffd"'
refused startup "invalid host startup protocol" \
    "host_exchange.command_offset: the 4-byte command word at 0xffd ends at 0x1001, past the size 0x1000 of page 0 (host_exchange.pages[0])"

# Nothing was written, not even a temporary file.
python 'import os; assert os.listdir("outputs") == [], os.listdir("outputs")'

# A problem of the JSON itself is not a rule: one line, as before.
breaks wrong 'app["tiles"][0]["segments"][0]["address"] = -1'
run 1 pack wrong.json -o outputs/p.vxpkg
python '
lines = open("err").read().splitlines()
assert lines == ["vexa-package: wrong.json: tiles[0].segments[0].address: expected an unsigned 32-bit integer, got -1"], lines
'

finish
