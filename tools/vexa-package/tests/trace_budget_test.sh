#!/usr/bin/env bash
# profile trace above its slice budget (--max-slices): the trace keeps the busy counters of
# every kept sample and slices for those that start before a cut, as many as fit, and says
# on standard error what it left out and how to get it; under the budget it is complete.
# Both formats are checked against trace_decoding.py's computation from the report's JSON.
source "$(dirname "$0")/lib.sh"
protoc --python_out=. -I "$EXAMPLES/../tools/vexa-package/trace" perfetto_trace.proto

# said TEXT: the command's status line or messages hold TEXT.
said() {
    cat out err >said
    contains said "$1"
}

# cut_of FILE: the cut cycle the budget warning in FILE names, as "before cycle C".
cut_of() {
    sed -n 's/.* that start before cycle \([0-9]*\).*/\1/p' "$1"
}

# Three tiles of different lengths with every kind, tile 2 starting late; 6000 samples.
"$PYTHON" - <<'PY'
import json, random
random.seed(22)
KINDS = ["Exchange", "Compute", "Synchronization", "Idle"]
def sample(index, start, cycles):
    return {"step": {"local_index": index, "phase": index % 5, "epoch": 1,
                     "operation": "layer%d" % (index % 7), "kind": KINDS[index % 4],
                     "kernel": "kernel%d" % (index % 3),
                     "metadata": [{"name": "block", "value": str(index % 11)}]},
            "start_cycle": start % 2**32, "end_cycle": (start + cycles) % 2**32}
tiles = []
for tile, count, first in ((0, 3000, 4_290_000_000), (5, 2000, 4_290_001_000), (2, 1000, 4_300_000_000)):
    cycle, samples = first, []
    for i in range(count):
        cycles = random.randrange(100, 2000)
        samples.append(sample(i, cycle, cycles))
        cycle += cycles + random.randrange(0, 40)
    tiles.append({"physical_tile": tile, "samples": samples})
json.dump({"clock_hz": 1_250_000_000, "tiles": tiles}, open("spread.json", "w"))
PY
"$TOOL" profile pack spread.json -o spread.vxprof

# Under the budget, or without one, the trace is complete and nothing is said.
run 0 profile trace spread.vxprof -o all.pftrace
said "all.pftrace: 6000 events on 3 tile tracks"
lacks err "warning"
python 'from trace_decoding import *; check_perfetto("spread.json", "all.pftrace", "spread.vxprof")'
run 0 profile trace spread.vxprof -o exact.pftrace --max-slices 6000
lacks err "warning"
same all.pftrace exact.pftrace
run 0 profile trace spread.vxprof -o unlimited.pftrace --max-slices 0
same all.pftrace unlimited.pftrace

# One over: slices for the samples that start before the cut, and the counters of all. The
# cut is the latest cycle before which at most the budget start, to a bucket's precision:
# never more than a 64th of the budget is left unused.
for budget in 5999 3000 1; do
    run 0 profile trace spread.vxprof -o cut.pftrace --max-slices $budget
    cut_of err >cut
    contains err "spread.vxprof: warning: 6000 kept samples exceed --max-slices $budget: slices are written for the "
    contains err "the busy counters cover all; for the rest, write windows (--from $(cat cut) --to CYCLE), or all slices with --max-slices 0 and open that file with trace_processor_shell --httpd FILE and ui.perfetto.dev"
    python '
import json, sys
from trace_decoding import *
budget, cut = int(sys.argv[1]), int(open("cut").read())
report = json.load(open("spread.json"))
starts = sorted(start for _, _, start, _ in kept_samples(report))
written = sum(1 for s in starts if s < cut)
assert budget - budget // 64 <= written <= budget, (written, budget)
trace = check_perfetto("spread.json", "cut.pftrace", "spread.vxprof", cut=cut)
assert sum(map(len, trace.slices.values())) == written
text = open("err").read()
assert "slices are written for the %d that start before cycle %d (" % (written, cut) in text, text
' $budget
done
said "cut.pftrace: 1 event on 3 tile tracks"

# The window the warning offers holds the rest; with the part before the cut, every slice.
run 0 profile trace spread.vxprof -o head.pftrace --max-slices 2500
cut_of err >cut
run 0 profile trace spread.vxprof -o rest.pftrace --from "$(cat cut)"
lacks err "warning"
python '
from trace_decoding import *
cut = int(open("cut").read())
head = check_perfetto("spread.json", "head.pftrace", "spread.vxprof", cut=cut)
rest = PerfettoTrace("rest.pftrace")
whole = PerfettoTrace("all.pftrace")
for tile, slices in whole.slices.items():
    assert head.slices.get(tile, []) + rest.slices.get(tile, []) == slices, tile
# The counters cover every kept sample whatever the cut.
assert head.counters == whole.counters
'

# JSON has the same budget and cut, and names them in otherData.
run 0 profile trace spread.vxprof -o head.json --max-slices 2500
cmp <(cut_of err) cut && pass || fail "the JSON trace is cut elsewhere"
python '
import json
from trace_decoding import *
cut = int(open("cut").read())
document = check_json("spread.json", "head.json", cut=cut)
written = sum(1 for e in document["traceEvents"] if e["ph"] == "X")
assert document["otherData"]["slices_before_cycle"] == cut, document["otherData"]
assert document["otherData"]["samples_without_slice"] == 6000 - written
'
run 0 profile trace spread.vxprof -o whole.json
python 'import json; assert "slices_before_cycle" not in json.load(open("whole.json"))["otherData"]'

# The budget counts kept samples only, and the counters follow the filters.
run 0 profile trace spread.vxprof -o compute.pftrace --kind compute --tiles 0,2 --max-slices 500
contains err "spread.vxprof: warning: 1000 kept samples exceed --max-slices 500"
cut_of err >cut
python '
from trace_decoding import *
keep = lambda tile, sample, start: tile in (0, 2) and sample["step"]["kind"] == "Compute"
check_perfetto("spread.json", "compute.pftrace", "spread.vxprof", keep=keep,
               cut=int(open("cut").read()), tiles=lambda tile: tile in (0, 2))
'

# A run whose samples crowd its start, with one long after: the starts are first counted in
# buckets far wider than the crowd, and then again, finer, in the bucket at the cut.
"$PYTHON" - <<'PY'
import json
def sample(index, start):
    return {"step": {"local_index": index, "phase": 0, "epoch": 0, "operation": "op",
                     "kind": "Compute", "kernel": "k", "metadata": []},
            "start_cycle": start % 2**32, "end_cycle": (start + 90) % 2**32}
samples = [sample(i, 100 * i) for i in range(40000)] + [sample(40000, 1_800_000_000)]
json.dump({"clock_hz": 1_000_000_000, "tiles": [{"physical_tile": 3, "samples": samples}]},
          open("crowded.json", "w"))
PY
"$TOOL" profile pack crowded.json -o crowded.vxprof
run 0 profile trace crowded.vxprof -o crowded.pftrace --max-slices 5000
cut_of err >cut
python '
from trace_decoding import *
trace = check_perfetto("crowded.json", "crowded.pftrace", "crowded.vxprof", cut=int(open("cut").read()))
written = len(trace.slices["tile 3"])
assert 5000 - 5000 // 64 <= written <= 5000, written
'

# Samples that start on the same cycle are all in or all out: 5 before, 10 together.
"$PYTHON" - <<'PY'
import json
def sample(index, start):
    return {"step": {"local_index": index, "phase": 0, "epoch": 0, "operation": "", "kind": "Idle",
                     "kernel": "", "metadata": []}, "start_cycle": start, "end_cycle": start}
samples = [sample(i, 1000 + i) for i in range(5)] + [sample(5 + i, 2000) for i in range(10)]
json.dump({"clock_hz": 0, "tiles": [{"physical_tile": 1, "samples": samples}]}, open("same.json", "w"))
PY
"$TOOL" profile pack same.json -o same.vxprof
run 0 profile trace same.vxprof -o same-trace.json --max-slices 12
contains err "warning: 15 kept samples exceed --max-slices 12: slices are written for the 5 that start before cycle $((2**32 + 2000)),"
lacks err "into the run"
python 'from trace_decoding import *; check_json("same.json", "same-trace.json", cut=2**32 + 2000)'

run 2 profile trace spread.vxprof -o x.pftrace --max-slices -1
contains err "--max-slices"
run 2 profile trace spread.vxprof -o x.pftrace --max-slices many
contains err "--max-slices"
run 0 profile trace --help
contains out "--max-slices N"
contains out "trace_processor_shell --httpd FILE"
contains out "tile N busy KIND"

finish
