#!/usr/bin/env bash
# The device timeline end to end: a report made from known 64-bit times (a sample listed out of
# order, a tile that starts after another's counter wrapped, one that starts before the
# report's first sample, two wraps, a zero-length sample, a step across a wrap), cut to 32-bit
# counter values, must come back at those times, shifted by whole counter wraps, through
# summary --json, the CSV export and the JSON trace; and what the counter values cannot
# settle is named on standard error.
source "$(dirname "$0")/lib.sh"

"$PYTHON" - <<'PY'
import json
EPOCH = 2**32
T0 = 5 * EPOCH + 4_000_000_000          # the report's first sample, shortly before a wrap
def sample(index, start, cycles, kind="Compute", kernel="k"):
    return {"step": {"local_index": index, "phase": 0, "epoch": 0, "operation": "op",
                     "kind": kind, "kernel": kernel, "metadata": []},
            "start_cycle": start % EPOCH, "end_cycle": (start + cycles) % EPOCH,
            "true_start": start, "true_end": start + cycles}
tiles = [
    {"physical_tile": 0, "samples": [
        sample(0, T0, 1000),
        sample(1, T0 + 100_000_000, 5000),
        sample(2, T0 + 50_000_000, 7000, kernel="late"),       # listed after a later one
        sample(3, T0 + 400_000_000, 300_000_000),              # after the first wrap
        sample(4, T0 + 2_100_000_000, 0, kind="Idle"),         # zero length
        sample(5, T0 + 3_800_000_000, 1_000_000_000),          # runs across the second wrap
        sample(6, T0 + 5_500_000_000, 10)]},
    {"physical_tile": 8, "samples": [                          # starts after tile 0 wrapped
        sample(0, T0 + 1_500_000_000, 2000, kind="Exchange"),
        sample(1, T0 + 3_000_000_000, 2000, kind="Exchange")]},
    {"physical_tile": 3, "samples": [                          # starts before the first sample
        sample(0, T0 - 1_000_000_000, 500, kind="Synchronization"),
        sample(1, T0 - 999_000_000, 500)]},
]
truth = {"tiles": [[(s["true_start"], s["true_end"]) for s in t["samples"]] for t in tiles]}
for t in tiles:
    for s in t["samples"]:
        del s["true_start"], s["true_end"]
json.dump({"clock_hz": 1_000_000_000, "tiles": tiles}, open("known.json", "w"))
# Placed times are the true ones less whole wraps, so that the first sample lies at 2^32 plus
# its counter value.
shift = (T0 // EPOCH - 1) * EPOCH
json.dump([[(a - shift, b - shift) for a, b in t] for t in truth["tiles"]], open("truth.json", "w"))
PY
"$TOOL" profile pack known.json -o known.vxprof

run 0 profile summary known.vxprof --json --top 0
contains err "warning: 1 sample starts earlier than the sample listed just before on the same tile (first: tile 0 (tile entry 0), sample 2)"
python '
import json
truth = json.load(open("truth.json"))
summary = json.load(open("out"))
starts = [a for t in truth for a, _ in t]
ends = [b for t in truth for _, b in t]
assert (summary["first_start"], summary["last_end"]) == (min(starts), max(ends)), summary
assert summary["covered_cycles"] == max(ends) - min(starts)
assert summary["covered_seconds"] == (max(ends) - min(starts)) / 1e9
assert summary["timeline_anomalies"] == {
    "backwards": {"count": 1, "physical_tile": 0, "tile_index": 0, "sample_index": 2},
    "ambiguous": {"count": 0}, "out_of_range": {"count": 0}}, summary["timeline_anomalies"]
for tile, places in zip(summary["tiles"], truth):
    assert tile["first_start"] == min(a for a, _ in places), tile
    assert tile["last_end"] == max(b for _, b in places), tile
    assert tile["span_cycles"] == max(b for _, b in places) - min(a for a, _ in places)
    busy = sum(b - a for a, b in places)
    assert abs(tile["busy_fraction"] - busy / (max(ends) - min(starts))) < 1e-12, tile
'

run 0 profile summary known.vxprof
contains out "start    cycle"
python '
import json, re
truth = json.load(open("truth.json"))
text = open("out").read()
first = min(a for t in truth for a, _ in t)
assert re.search(r"^start    cycle %d on the device timeline$" % first, text, re.M), text
'

run 0 profile export known.vxprof -o samples.csv
python '
import csv, json
truth = json.load(open("truth.json"))
rows = list(csv.DictReader(open("samples.csv", newline="")))
assert [(int(r["start"]), int(r["end"])) for r in rows] == [tuple(p) for t in truth for p in t], rows
'

run 0 profile trace known.vxprof -o trace.json
python '
import json
from decimal import Decimal
truth = json.load(open("truth.json"))
events = json.load(open("trace.json", encoding="utf-8"), parse_float=Decimal)
events = events["traceEvents"] if isinstance(events, dict) else events
slices = [e for e in events if e.get("ph") == "X"]
got = sorted((e["tid"], int(e["ts"] * 1000), int((e["ts"] + e["dur"]) * 1000)) for e in slices)
tiles = [0, 8, 3]
want = sorted((tiles[i], a, b) for i, t in enumerate(truth) for a, b in t)
assert got == want, (got, want)
'

# A window on the device timeline keeps the samples that start in it, whichever tile wrapped.
python '
import json
truth = json.load(open("truth.json"))
open("window", "w").write("%d %d\n" % (truth[0][3][0], truth[1][1][0]))
'
read -r from to <window
run 0 profile export known.vxprof -o window.csv --from "$from" --to "$to"
python '
import csv, json
truth = json.load(open("truth.json"))
low, high = map(int, open("window").read().split())
rows = list(csv.DictReader(open("window.csv", newline="")))
want = sorted(a for t in truth for a, _ in t if low <= a < high)
assert sorted(int(r["start"]) for r in rows) == want and len(want) == 3, (rows, want)
'

# Outside the contract: a gap of nearly 2^31 cannot be told from a step back, and a tile that
# drifts back by more than a wrap from the first sample leaves the timeline.
"$PYTHON" - <<'PY'
import json
def sample(start):
    return {"step": {"local_index": 0, "phase": 0, "epoch": 0, "operation": "", "kind": "Compute",
                     "kernel": "", "metadata": []}, "start_cycle": start % 2**32, "end_cycle": (start + 1) % 2**32}
far = 2**31 - 1000
json.dump({"clock_hz": 0, "tiles": [
    {"physical_tile": 4, "samples": [sample(0), sample(far)]},
    {"physical_tile": 5, "samples": [sample(0), sample(-far), sample(-2 * far), sample(-3 * far)]}]},
    open("odd.json", "w"))
PY
"$TOOL" profile pack odd.json -o odd.vxprof
run 0 profile summary odd.vxprof
contains err "warning: 2 samples start earlier than the sample listed just before on the same tile (first: tile 5 (tile entry 1), sample 1)"
contains err "warning: 4 samples start nearly 2^31 cycles from the previous start of their tile or, for a tile's first sample, from the report's first start (first: tile 4 (tile entry 0), sample 1)"
contains err "warning: 1 sample falls outside the device timeline, more than a counter wrap before the report's first sample (first: tile 5 (tile entry 1), sample 3)"
# Commands that show no times say nothing of the timeline, unless a window uses it.
run 0 profile collapsed odd.vxprof
lacks err "warning"
run 0 profile collapsed odd.vxprof --from 0
contains err "samples start earlier than the sample listed just before"

# A window that keeps nothing says where the report lies.
run 0 profile export known.vxprof -o none.csv --to 5
python '
import json
truth = json.load(open("truth.json"))
low = min(a for t in truth for a, _ in t)
high = max(b for t in truth for _, b in t)
text = open("err").read()
assert "warning: no samples kept; the report spans cycles %d to %d on the device timeline\n" % (low, high) in text, text
'

finish
