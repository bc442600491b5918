#!/usr/bin/env bash
# profile export, collapsed and diff: the export read back with Python's csv and json modules
# and compared sample by sample with the sample JSON; folded stacks and the aggregate diff
# against sums computed here.
source "$(dirname "$0")/lib.sh"
pack_samples
SAMPLE=$EXAMPLES/sample_profile.json

cat >oracle.py <<'PY'
import json, sys
from device_timeline import placed
def rows(path, tiles=None):
    report = json.load(open(path))
    out, meta = [], []
    for tile, index, sample, start, end in placed(report):
        raw = sample["start_cycle"]
        cycles = end - start
        step = sample["step"]
        if tiles is not None and tile["physical_tile"] not in tiles:
            continue
        out.append({"tile": tile["physical_tile"], "sample": index,
                    "local_index": step["local_index"], "phase": step["phase"],
                    "epoch": step["epoch"], "operation": step["operation"],
                    "kind": step["kind"], "kernel": step["kernel"], "start_cycle": raw,
                    "end_cycle": sample["end_cycle"], "start": start, "end": end,
                    "cycles": cycles})
        meta += [{"tile": tile["physical_tile"], "sample": index, "name": m["name"],
                  "value": m["value"]} for m in step["metadata"]]
    return out, meta
PY

# An odd name: comma, quote and line break must survive CSV quoting.
"$PYTHON" - "$SAMPLE" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
report["tiles"][0]["samples"][1]["step"]["kernel"] = 'a,"b"\nc'
report["tiles"][0]["samples"][1]["step"]["metadata"].append({"name": "note", "value": "x,\"y\""})
json.dump(report, open("odd.json", "w"))
PY
"$TOOL" profile pack odd.json -o odd.vxprof

run 0 profile export odd.vxprof -o samples.csv --metadata meta.csv
contains err "samples.csv: 3386 samples"
python '
import csv
exec(open("oracle.py").read())
want, want_meta = rows("odd.json")
got = list(csv.DictReader(open("samples.csv", newline="")))
assert list(got[0].keys()) == list(want[0].keys())
typed = [{k: (v if k in ("operation", "kind", "kernel") else int(v)) for k, v in r.items()} for r in got]
assert typed == want, next((a, b) for a, b in zip(typed, want) if a != b)
meta = [{k: (v if k in ("name", "value") else int(v)) for k, v in r.items()}
        for r in csv.DictReader(open("meta.csv", newline=""))]
assert meta == want_meta
assert open("samples.csv", newline="").read().count("\r\n") == len(want) + 1
'

# The odd name goes through NDJSON's escapes too; every row has the columns in their order.
run 0 profile export odd.vxprof --format ndjson -o samples.ndjson --metadata meta.ndjson --tiles 0-3
python '
import json
exec(open("oracle.py").read())
want, want_meta = rows("odd.json", tiles={0, 1, 2, 3})
got = [json.loads(line) for line in open("samples.ndjson")]
got_meta = [json.loads(line) for line in open("meta.ndjson")]
assert got == want and got_meta == want_meta
assert all(list(a) == list(b) for a, b in zip(got + got_meta, want + want_meta))
assert any(r["kernel"] == "a,\"b\"\nc" for r in got)
'

# To standard output, with no status line to race it through a pipe; a failed read leaves no
# file.
run 0 profile export run.vxprof -o - --kind Idle
empty err
python '
import csv
rows = list(csv.DictReader(open("out", newline="")))
assert rows and all(r["kind"] == "Idle" for r in rows)
'
run 1 profile export app.vxpkg -o gone.csv
contains err "this is an application package"
absent gone.csv
no_leftovers .

run 0 profile collapsed odd.vxprof
python '
exec(open("oracle.py").read())
want, _ = rows("odd.json")
frame = lambda name: (name or "(none)").replace(";", ":").replace("\n", " ")
stacks = {}
for r in want:
    key = "tile %d;%s;%s;%s" % (r["tile"], r["kind"], frame(r["operation"]), frame(r["kernel"]))
    stacks[key] = stacks.get(key, 0) + r["cycles"]
lines = open("out").read().splitlines()
assert lines == ["%s %d" % (k, stacks[k]) for k in sorted(stacks)], lines[:5]
'

# profile diff: the sample against a copy where one kernel got exactly 100 cycles slower.
"$PYTHON" - "$SAMPLE" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
changed = 0
for tile in report["tiles"]:
    for sample in tile["samples"]:
        if sample["step"]["kernel"] == "softmax_f16":
            sample["end_cycle"] = (sample["end_cycle"] + 100) % 2**32
            changed += 1
json.dump(report, open("slower.json", "w"))
open("changed", "w").write(str(changed))
PY
"$TOOL" profile pack slower.json -o slower.vxprof
run 0 profile diff run.vxprof slower.vxprof --json
python '
import json
exec(open("oracle.py").read())
changed = int(open("changed").read())
base, _ = rows(sys.argv[1])
new, _ = rows("slower.json")
diff = json.load(open("out"))
assert diff["base_cycles"] == sum(r["cycles"] for r in base)
assert diff["new_cycles"] == diff["base_cycles"] + 100 * changed
top = diff["rows"][0]
assert top["delta_cycles"] == 100 * changed, top
moved = [r for r in diff["rows"] if r["delta_cycles"] != 0]
assert {(r["group"], r["name"]) for r in moved if r["group"] == "kernel"} == {("kernel", "softmax_f16")}
assert sum(r["delta_cycles"] for r in moved if r["group"] == "tile") == 100 * changed
for r in diff["rows"]:
    want = [x for x in base if str(x[r["group"]]) == r["name"]]
    assert r["base_samples"] == len(want) and r["base_cycles"] == sum(x["cycles"] for x in want), r
    if r["base_cycles"]:
        assert abs(r["ratio"] - r["new_cycles"] / r["base_cycles"]) < 1e-12
deltas = [abs(r["delta_cycles"]) for r in diff["rows"]]
assert deltas == sorted(deltas, reverse=True)
' "$SAMPLE"
# The other way round every change is a saving: negative deltas, written as such.
mv out forward.json
run 0 profile diff slower.vxprof run.vxprof --json
contains out "\"delta_cycles\": -$((100 * $(cat changed)))"
python '
import json
forward = json.load(open("forward.json"))
backward = json.load(open("out"))
key = lambda r: (r["group"], r["name"])
deltas = {key(r): r["delta_cycles"] for r in forward["rows"]}
assert {key(r): -r["delta_cycles"] for r in backward["rows"]} == deltas, backward
'
run 0 profile diff run.vxprof slower.vxprof --threshold 50
contains out "smaller changes hidden"
run 0 profile diff run.vxprof slower.vxprof --csv --kernel softmax
python '
import csv
rows = list(csv.DictReader(open("out", newline="")))
assert {r["name"] for r in rows if r["group"] == "kernel"} == {"softmax_f16"}
assert int(rows[0]["delta_cycles"]) == 100 * int(open("changed").read())
'
run 1 profile diff run.vxprof app.vxpkg
contains err "app.vxpkg: this is an application package"

finish
