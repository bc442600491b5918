#!/usr/bin/env bash
# dump and pack: lossless JSON both ways, byte-identical packages and reports.
source "$(dirname "$0")/lib.sh"
pack_samples

run 0 dump app.vxpkg -o app.json
empty out
run 0 pack app.json -o again.vxpkg
same app.vxpkg again.vxpkg

# Standard output and input, hexadecimal data and one-line JSON give the same package.
"$TOOL" dump app.vxpkg --hex --compact | "$TOOL" pack - -o piped.vxpkg
same app.vxpkg piped.vxpkg
"$TOOL" dump app.vxpkg --hex >hex.json
contains hex.json '"data": {"hex": "0000803f0000003f0000803facc52737"}'
"$TOOL" dump app.vxpkg >stdout.json
same app.json stdout.json

# The JSON holds the model under its own field names, the data as base64.
python '
import json, base64
app = json.load(open("app.json"))
assert list(app) == ["compiler_version", "tiles", "inputs", "outputs", "weights",
                     "host_exchange", "entry_points", "device_config_writes"], list(app)
segment = app["tiles"][0]["segments"][0]
assert list(segment) == ["address", "memory_size", "data", "flags"]
assert segment["address"] == 0x4c000 and segment["memory_size"] == 0x3000
assert base64.b64decode(segment["data"])[:4] == bytes([0, 1, 0, 0x13])
call = app["host_exchange"]["calls"][2]
assert call["name"] == "decode_step" and call["input_batch_ends"] == [1, 2, 3, 4]
'

# The largest integers of every width survive exactly.
"$PYTHON" - <<'PY'
import json
app = json.load(open("app.json"))
app["compiler_version"] = ""
app["tiles"][0]["segments"][0]["flags"] = 4294967295
app["tiles"][0]["entry_point"] = 4294967295
app["inputs"][0]["slices"][0]["file_offset"] = 18446744073709551615
app["inputs"][0]["shape"] = [4294967295, 0]
app["host_exchange"]["startup_mark"] = 4294967295
app["host_exchange"]["calls"][0]["command"] = 4294967295
app["host_exchange"]["calls"][0]["inputs"][0]["file_offset"] = 18446744073709551615
app["entry_points"][0]["external_syncs"] = 4294967295
app["device_config_writes"][0]["value"] = 4294967295
json.dump(app, open("extremes.json", "w"))
PY
run 0 pack extremes.json -o extremes.vxpkg
run 0 dump extremes.vxpkg -o extremes-again.json
python '
import json
a = json.load(open("extremes.json"))
b = json.load(open("extremes-again.json"))
assert a == b
'
contains extremes-again.json '"file_offset": 18446744073709551615'
run 0 pack extremes-again.json -o extremes-again.vxpkg
same extremes.vxpkg extremes-again.vxpkg

# Integers may also be given as "0x" strings; they pack to the same package.
"$PYTHON" - <<'PY'
import json
app = json.load(open("app.json"))
app["tiles"][0]["entry_point"] = "0x4c000"
app["inputs"][0]["slices"][0]["file_offset"] = "0xffffffffffffffff"
json.dump(app, open("hex-numbers.json", "w"))
app["inputs"][0]["slices"][0]["file_offset"] = 18446744073709551615
json.dump(app, open("plain-numbers.json", "w"))
PY
"$TOOL" pack hex-numbers.json -o hex-numbers.vxpkg
"$TOOL" pack plain-numbers.json -o plain-numbers.vxpkg
same hex-numbers.vxpkg plain-numbers.vxpkg

# Profile reports: the same round trip.
run 0 profile dump run.vxprof -o run.json
run 0 profile pack run.json -o again.vxprof
same run.vxprof again.vxprof
"$TOOL" profile dump run.vxprof --compact | "$TOOL" profile pack - -o piped.vxprof
same run.vxprof piped.vxprof
python '
import json, sys
dumped = json.load(open("run.json"))
sample = json.load(open(sys.argv[1]))
assert dumped == sample, "the dump differs from the JSON the report was packed from"
' "$EXAMPLES/sample_profile.json"

# The dump is written while the report is read, yet laid out as the whole document would be:
# what fits in 100 characters less the indent on one line, anything larger indented. Reports
# of empty tiles can fit on one line, and so can their tiles beside samples.
cat >layout.py <<'PY'
import json, sys
def cost(v):
    # What the layout counts: raw text bytes, and a separator after every element.
    if isinstance(v, str):
        return len(v.encode()) + 2
    if isinstance(v, list):
        return 2 + sum(cost(e) + 2 for e in v)
    if isinstance(v, dict):
        return 2 + sum(len(k.encode()) + 6 + cost(e) for k, e in v.items())
    return len(json.dumps(v))
def inline(v):
    return json.dumps(v, ensure_ascii=False, separators=(", ", ": "))
def layout(v, depth=0):
    if not isinstance(v, (list, dict)) or not v or cost(v) <= 100 - 2 * depth:
        return inline(v)
    inner = "  " * (depth + 1)
    items = [inner + (inline(k) + ": " if isinstance(v, dict) else "") + layout(e, depth + 1)
             for k, e in (v.items() if isinstance(v, dict) else enumerate(v))]
    return ("{" if isinstance(v, dict) else "[") + "\n" + ",\n".join(items) + "\n" + \
        "  " * depth + ("}" if isinstance(v, dict) else "]")
print(layout(json.load(open(sys.argv[1]))))
PY
"$PYTHON" - <<'PY'
import json
step = {"local_index": 1, "phase": 2, "epoch": 3, "operation": "op", "kind": "Idle",
        "kernel": "k", "metadata": [{"name": "n", "value": "v"}]}
sample = {"step": step, "start_cycle": 5, "end_cycle": 4}
empty = lambda n: {"physical_tile": n, "samples": []}
shapes = [[], [empty(1)], [empty(1), empty(2), empty(3)], [empty(n) for n in range(4)],
          [empty(4294967295)] * 3, [empty(0), {"physical_tile": 1, "samples": [sample] * 2}, empty(2)]]
for i, tiles in enumerate(shapes):
    json.dump({"clock_hz": 1000 + i, "tiles": tiles}, open("shape%d.json" % i, "w"))
PY
for shape in 0 1 2 3 4 5; do
    "$TOOL" profile pack shape$shape.json -o shape$shape.vxprof
    run 0 profile dump shape$shape.vxprof -o shape$shape.dumped
    "$PYTHON" layout.py shape$shape.json >shape$shape.expected
    same shape$shape.dumped shape$shape.expected
done

finish
