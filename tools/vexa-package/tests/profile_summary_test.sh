#!/usr/bin/env bash
# profile summary on a generated report with known duration distributions: counts, totals,
# nearest-rank percentiles, kind shares and busy fractions against a Python computation,
# under each filter and their combinations; CSV read back with the csv module.
source "$(dirname "$0")/lib.sh"

"$PYTHON" - <<'PY'
import json, random
rng = random.Random(14)
kinds = ["Exchange", "Compute", "Synchronization", "Idle"]
tiles = []
for number in (0, 1, 2, 3, 8, 10):
    samples, cycle = [], (2**32 - 5000) if number == 3 else rng.randrange(1000)
    for index in range(400):
        kernel = ["uniform", "skewed", "", "one,\"odd\""][index % 4]
        # Durations 1..100 for "uniform", a long tail for "skewed", zero-length for "".
        duration = {"uniform": 1 + (index // 4) % 100, "skewed": rng.choice([10] * 9 + [1000]),
                    "": 0, "one,\"odd\"": rng.randrange(50, 60)}[kernel]
        start = cycle % 2**32
        samples.append({"step": {"local_index": index, "phase": index % 3, "epoch": 0,
                                 "operation": ["mlp.up", "attention.qkv", "mlp.down"][index % 3],
                                 "kind": kinds[index % 4], "kernel": kernel, "metadata": []},
                        "start_cycle": start, "end_cycle": (start + duration) % 2**32})
        cycle += duration + rng.randrange(0, 30)
    tiles.append({"physical_tile": number, "samples": samples})
json.dump({"clock_hz": 1000000000, "tiles": tiles}, open("known.json", "w"))
PY
"$TOOL" profile pack known.json -o known.vxprof

cat >oracle.py <<'PY'
import json, math, re, sys
from device_timeline import placed
def summary(path, tiles=None, kernel=None, operation=None, kind=None, start_from=None, to=None):
    report = json.load(open(path))
    out_tiles, names = [], {"kernel": {}, "operation": {}}
    places = {}
    for tile, _, sample, start, _ in placed(report):
        places.setdefault(id(tile), []).append((sample, start))
    for tile in report["tiles"]:
        if tiles is not None and tile["physical_tile"] not in tiles:
            continue
        kinds = dict.fromkeys(["Exchange", "Compute", "Synchronization", "Idle"], 0)
        first, last, count = None, 0, 0
        for sample, start in places.get(id(tile), []):
            raw = sample["start_cycle"]
            step = sample["step"]
            cycles = (sample["end_cycle"] - raw) % 2**32
            if kind and step["kind"].lower() != kind.lower(): continue
            if start_from is not None and start < start_from: continue
            if to is not None and start >= to: continue
            if kernel and not re.search(kernel, step["kernel"]): continue
            if operation and not re.search(operation, step["operation"]): continue
            count += 1
            kinds[step["kind"]] += cycles
            first = start if first is None else min(first, start)
            last = max(last, start + cycles)
            for group in ("kernel", "operation"):
                names[group].setdefault(step[group], []).append(cycles)
        out_tiles.append({"physical_tile": tile["physical_tile"], "samples": count,
                          "kinds": kinds, "first": first, "last": last})
    firsts = [t["first"] for t in out_tiles if t["first"] is not None]
    covered = max(t["last"] for t in out_tiles if t["first"] is not None) - min(firsts) if firsts else 0
    def rank(values, p):
        ordered = sorted(values)
        return ordered[max(1, math.ceil(p * len(ordered) / 100)) - 1]
    groups = {}
    for group, table in names.items():
        rows = [{"name": n, "samples": len(v), "cycles": sum(v), "min": min(v), "max": max(v),
                 "p50": rank(v, 50), "p90": rank(v, 90), "p99": rank(v, 99)}
                for n, v in table.items()]
        groups[group] = sorted(rows, key=lambda r: (-r["cycles"], r["name"]))
    span = (min(firsts), max(t["last"] for t in out_tiles if t["first"] is not None)) if firsts else (None, None)
    return out_tiles, covered, groups, span

def check(path, output, **filters):
    tiles, covered, groups, span = summary(path, **filters)
    mine = json.load(open(output))
    assert mine["covered_cycles"] == covered, (mine["covered_cycles"], covered)
    assert (mine["first_start"], mine["last_end"]) == span, (mine["first_start"], mine["last_end"], span)
    assert [t["physical_tile"] for t in mine["tiles"]] == [t["physical_tile"] for t in tiles]
    for got, want in zip(mine["tiles"], tiles):
        assert got["samples"] == want["samples"] and got["cycles_by_kind"] == want["kinds"], (got, want)
        assert got["first_start"] == want["first"] and got["last_end"] == (want["last"] if want["first"] is not None else None)
        busy = sum(want["kinds"].values()) - want["kinds"]["Idle"]
        assert got["busy_cycles"] == busy
        if covered:
            assert abs(got["busy_fraction"] - busy / covered) < 1e-12
    for group, key in (("kernel", "kernels"), ("operation", "operations")):
        got = [{k: r[k] for k in ("name", "samples", "cycles", "min", "max", "p50", "p90", "p99")}
               for r in mine[key]]
        assert got == groups[group], (group, got, groups[group])
        for r in mine[key]:
            assert abs(r["mean"] - r["cycles"] / r["samples"]) < 1e-9
PY

# check NAME ARGS...: the summary under the filters ARGS against the oracle called as PYARGS.
check() {
    local pyargs=$1
    shift
    run 0 profile summary known.vxprof --json --top 0 "$@"
    python "exec(open(\"oracle.py\").read()); check(\"known.json\", \"out\", $pyargs)"
}
check ""
check "tiles={0,1,2,3,8}" --tiles 0-3,8
check "tiles={10}" --tiles 10
check "kernel=\"^uniform\$\"" --kernel '^uniform$'
check "operation=\"mlp\"" --operation mlp
check "kind=\"Compute\"" --kind compute
check "start_from=2**32 + 2000, to=2**32 + 6000" --from 4294969296 --to 4294973296
check "tiles={3}, start_from=2**32" --tiles 3 --from 4294967296
check "tiles={1,8}, kernel=\"e\", kind=\"Idle\", start_from=2**32 + 100" --tiles 1,8 --kernel e --kind Idle --from 4294967396
check "kernel=\"nothing matches\"" --kernel 'nothing matches'
# A filter that keeps nothing says where the report lies; one that keeps something is silent.
python "
exec(open('oracle.py').read())
_, _, _, span = summary('known.json')
text = open('err').read()
want = 'vexa-package: known.vxprof: warning: no samples kept; the report spans cycles %d to %d on the device timeline\\n' % span
assert text == want, (text, want)
"
run 0 profile summary known.vxprof --from 100 --to 200
contains err "no samples kept; the report spans cycles"
run 0 profile summary known.vxprof --kind Idle
empty err

# The known distributions: uniform 1..100 per tile, nearest rank.
run 0 profile summary known.vxprof --json --top 0 --kernel '^uniform$' --tiles 0
python '
import json
entry = json.load(open("out"))["kernels"][0]
assert (entry["min"], entry["p50"], entry["p90"], entry["p99"], entry["max"]) == (1, 50, 90, 99, 100), entry
'

run 0 profile summary known.vxprof --csv --top 0 --operation 'attention'
python '
import csv
exec(open("oracle.py").read())
tiles, covered, groups, span = summary("known.json", operation="attention")
rows = list(csv.DictReader(open("out", newline="")))
assert list(rows[0].keys()) == ["group", "name", "samples", "cycles", "mean", "min", "p50", "p90", "p99", "max"]
for group in ("kernel", "operation"):
    mine = [r for r in rows if r["group"] == group]
    assert [r["name"] for r in mine] == [g["name"] for g in groups[group]]
    for r, g in zip(mine, groups[group]):
        assert all(int(r[k]) == g[k] for k in ("samples", "cycles", "min", "p50", "p90", "p99", "max"))
assert any(r["name"] == "one,\"odd\"" for r in rows)
'

run 0 profile summary known.vxprof --top 2
contains out "kernels with the most cycles (top 2 of 4)"
line_matches out '^  kernel +samples +cycles +share +time +mean +min +p50 +p90 +p99 +max$'

run 2 profile summary known.vxprof --tiles 3-1
contains err "expected tile numbers and ranges such as 0-3,8, got '3-1'"
run 2 profile summary known.vxprof --kernel '('
contains err "not a regular expression"
run 2 profile summary known.vxprof --kind Busy
run 2 profile summary known.vxprof --csv --json

finish
