#!/usr/bin/env bash
# diff of packages that differ in exactly one known place: one change, the right record,
# field, values and delta; exit status 0, 1 or 2.
source "$(dirname "$0")/lib.sh"
pack_samples

run 0 diff app.vxpkg app.vxpkg
empty out
run 0 diff --json app.vxpkg app.vxpkg
python 'import json; assert json.load(open("out")) == {"equal": True, "changes": []}'

# Each case: a change to the sample JSON and the one change diff must report.
"$PYTHON" - "$EXAMPLES/sample_application.json" <<'PY'
import json, sys
base = json.load(open(sys.argv[1]))
number = lambda value: int(value, 0) if isinstance(value, str) else value
def case(name, edit, expected):
    app = json.loads(json.dumps(base))
    edit(app)
    json.dump(app, open(name + ".json", "w"))
    json.dump(expected, open(name + ".expected", "w"))
def changed(where, field, old, new, delta=None):
    entry = {"where": where, "change": "changed", "field": field, "old": old, "new": new}
    if delta is not None:
        entry["delta"] = delta
    return [entry]
tile0 = base["tiles"][0]
segment = tile0["segments"][0]
address = "tile 0 segment 0x%x" % number(segment["address"])
def grow(app):
    app["tiles"][0]["segments"][0]["memory_size"] = number(segment["memory_size"]) + 16
case("memory", grow, changed(address, "memory_size", number(segment["memory_size"]),
                             number(segment["memory_size"]) + 16, 16))
def flip(app):
    segment = app["tiles"][0]["segments"][0]
    data = bytearray(bytes.fromhex(segment["data"]["hex"]) if isinstance(segment["data"], dict)
                     else __import__("base64").b64decode(segment["data"]))
    data[0] ^= 1
    segment["data"] = {"hex": data.hex()}
case("content", flip, None)
def drop(app):
    del app["tiles"][-1]
    for key in ("inputs", "outputs", "weights"):
        for binding in app[key]:
            binding["slices"] = [s for s in binding["slices"] if s["tile"] != base["tiles"][-1]["physical_tile"]]
case("tile", drop, None)
def rename(app):
    app["compiler_version"] = "other"
case("compiler", rename, changed("", "compiler_version", base["compiler_version"], "other"))
def dtype(app):
    app["weights"][1]["dtype"] = "int4"
case("dtype", dtype, changed("weight " + base["weights"][1]["name"], "dtype",
                             base["weights"][1]["dtype"], "int4"))
def page(app):
    app["host_exchange"]["pages"][-1]["size"] = number(base["host_exchange"]["pages"][-1]["size"]) + 4096
last = base["host_exchange"]["pages"][-1]
case("page", page, changed("host page %d" % last["index"], "size", number(last["size"]),
                           number(last["size"]) + 4096, 4096))
def write(app):
    app["device_config_writes"][0]["value"] = number(base["device_config_writes"][0]["value"]) + 1
first = base["device_config_writes"][0]
case("config", write, changed("config write 0x%x" % number(first["offset"]), "value",
                              number(first["value"]), number(first["value"]) + 1))
def entry(app):
    app["entry_points"].append({"name": "extra", "command": 7, "external_syncs": 0})
case("entry", entry, [{"where": "entry point extra", "change": "added"}])
# Segments swapped in stored order keep their addresses: nothing changed for diff.
def swap(app):
    segments = app["tiles"][0]["segments"]
    segments[0], segments[1] = segments[1], segments[0]
case("swap", swap, [])
PY

for name in memory content tile compiler dtype page config entry swap; do
    "$TOOL" pack $name.json -o $name.vxpkg
    expected_status=1
    [[ $name == swap ]] && expected_status=0
    run $expected_status diff --json app.vxpkg $name.vxpkg
    cp out $name.out
    python '
import json, sys
name = sys.argv[1]
diff = json.load(open(name + ".out"))
expected = json.load(open(name + ".expected"))
base = json.load(open(sys.argv[2]))
changes = diff["changes"]
assert diff["equal"] == (changes == [])
if name == "content":
    assert len(changes) == 1, changes
    change = changes[0]
    assert change["field"] == "content" and change["old"] != change["new"]
    assert change["where"].startswith("tile 0 segment 0x"), change
elif name == "tile":
    gone = "tile %d" % base["tiles"][-1]["physical_tile"]
    assert {"where": gone, "change": "removed"} in changes, changes
    assert all(c["where"] == gone or c["field"] in ("slices", "bytes", "tiles") for c in changes)
else:
    assert changes == expected, (changes, expected)
' $name "$EXAMPLES/sample_application.json"
done

run 1 diff app.vxpkg memory.vxpkg
line_matches out '^tile 0 segment 0x4c000: memory_size [0-9]+ -> [0-9]+ \(\+16\)$'
run 1 diff page.vxpkg app.vxpkg
contains out "(-4096)"
run 1 diff app.vxpkg config.vxpkg
line_matches out '^config write 0x0: value 0x[0-9a-f]+ -> 0x[0-9a-f]+$'

# Trouble is status 2, whichever side it is on.
run 2 diff app.vxpkg missing.vxpkg
contains err "vexa-package: missing.vxpkg: cannot open"
run 2 diff run.vxprof app.vxpkg
contains err "this is a profile report"
run 2 diff app.vxpkg

finish
