#!/usr/bin/env bash
# profile trace in both formats: the Perfetto file decoded with the tool's own .proto (interned
# texts and per-sequence clocks resolved) and the JSON file, each checked against the tracks,
# slices and busy counters that trace_decoding.py computes from the report's JSON on the
# device timeline.
source "$(dirname "$0")/lib.sh"
pack_samples
SAMPLE=$EXAMPLES/sample_profile.json
protoc --python_out=. -I "$EXAMPLES/../tools/vexa-package/trace" perfetto_trace.proto

# said TEXT: the command's status line or messages hold TEXT.
said() {
    cat out err >said
    contains said "$1"
}

# A report with everything that is easy to get wrong: tile numbers that sort differently as
# text, a physical tile given twice, a tile without samples, a sample across a counter wrap
# and steps across two more, zero-length samples, empty kernel and operation, repeated
# metadata names and texts that need escapes.
"$PYTHON" - <<'PY'
import json
def step(index, kind, kernel, operation, metadata=()):
    return {"local_index": index, "phase": index % 3, "epoch": 7, "operation": operation,
            "kind": kind, "kernel": kernel,
            "metadata": [{"name": n, "value": v} for n, v in metadata]}
def sample(start, end, *args, **kwargs):
    return {"step": step(*args, **kwargs), "start_cycle": start % 2**32, "end_cycle": end % 2**32}
top = 2**32
tiles = [
    {"physical_tile": 10, "samples": [
        sample(top - 30, top + 5, 0, "Compute", "gemm", "matmul", [("tag", "a"), ("block", "8"), ("tag", "b")]),
        sample(top + 5, top + 5, 1, "Idle", "", ""),
        sample(top + 9, top + 20, 2, "Exchange", "", "copy \"in\"\n", [("note", "x\\y\u0007")]),
        sample(top + 2**30, top + 2**30 + 99, 3, "Compute", "gemm", "matmul"),
        sample(top + 2**31 + 2**29, top + 2**31 + 2**29 + 1, 4, "Idle", "", "wait"),
        sample(2 * top + 1, 2 * top + 3, 5, "Compute", "gemm", "matmul")]},
    {"physical_tile": 2, "samples": [
        sample(100, 100, 0, "Synchronization", "barrier", "sync"),
        sample(150, 1_000_000_150, 1, "Compute", "gemm", "matmul")]},
    {"physical_tile": 7, "samples": []},
    {"physical_tile": 2, "samples": [sample(5, 9, 2, "Compute", "ünïcode ✓", "op")]},
]
json.dump({"clock_hz": 1_500_000_000, "tiles": tiles}, open("edge.json", "w"))
json.dump({"clock_hz": 0, "tiles": tiles}, open("clockless.json", "w"))
PY
"$TOOL" profile pack edge.json -o edge.vxprof
"$TOOL" profile pack clockless.json -o clockless.vxprof

run 0 profile trace edge.vxprof -o edge.pftrace
said "edge.pftrace: 9 events on 3 tile tracks"
python '
from trace_decoding import *
trace = check_perfetto("edge.json", "edge.pftrace", "edge.vxprof")
# The device\x27s sequence, then one per tile entry, each with one snapshot of its clock; no
# time goes back, so every time is a delta.
assert sorted(trace.sequences) == [1, 2, 3, 4, 5] and trace.absolute_times == 0, trace.sequences
snapshots = [p.trusted_packet_sequence_id for p in trace.packets if p.HasField("clock_snapshot")]
assert snapshots == [2, 3, 5, 1], snapshots
'
run 0 profile trace edge.vxprof -o edge-trace.json --format json
python 'from trace_decoding import *; check_json("edge.json", "edge-trace.json")'
# The first sample of tile 10, at 2^32 + its start cycle, ends after the wrap: its ends are
# rounded down on their own, 5726623041.33 ns to 5726623041 ns and 5726623064.67 ns to
# 5726623064 ns, so its 35 cycles at 1.5 GHz take 23 ns.
python '
import json
first = next(e for e in json.load(open("edge-trace.json"))["traceEvents"] if e["ph"] == "X")
assert first["dur"] == 0.023 and first["ts"] == 5726623.041, first
'
lacks err "warning"

# Clock 0: one cycle is one nanosecond, and the user is told.
run 0 profile trace clockless.vxprof -o clockless.perfetto-trace
contains err "clock_hz is 0; the trace shows one cycle as one nanosecond"
python 'from trace_decoding import *; check_perfetto("clockless.json", "clockless.perfetto-trace", "clockless.vxprof")'
run 0 profile trace clockless.vxprof -o clockless-trace.json
contains err "clock_hz is 0"
python 'from trace_decoding import *; check_json("clockless.json", "clockless-trace.json")'

# Slices on one Perfetto track must nest: samples that overlap others of their tile go on
# overflow tracks under the tile's, the first on which they overlap nothing, and every track
# reads back with each end closing its own slice. Tile 4's second entry goes back in time:
# what lies wholly before a track's slices joins it. One tile holds more mutually overlapping
# samples than it has tracks: the rest stay on the tile's track, and the user is told.
"$PYTHON" - <<'PY'
import json
def sample(index, start, end):
    return {"step": {"local_index": index, "phase": 0, "epoch": 0, "operation": "op%d" % index,
                     "kind": "Compute", "kernel": "", "metadata": []},
            "start_cycle": start, "end_cycle": end}
spans = [(1000, 1100), (1050, 1150), (1100, 1120), (1110, 1115), (1120, 1120), (1150, 1160)]
overlap = [{"physical_tile": 4, "samples": [sample(i, *span) for i, span in enumerate(spans)]},
           {"physical_tile": 4, "samples": [sample(6, 0, 10), sample(7, 5, 2000)]}]
json.dump({"clock_hz": 1_000_000_000, "tiles": overlap}, open("overlap.json", "w"))
crowd = [{"physical_tile": 9, "samples": [sample(i, i, 1000 + i) for i in range(20)]}]
json.dump({"clock_hz": 1_000_000_000, "tiles": overlap + crowd}, open("crowd.json", "w"))
PY
"$TOOL" profile pack overlap.json -o overlap.vxprof
"$TOOL" profile pack crowd.json -o crowd.vxprof
run 0 profile trace overlap.vxprof -o overlap.pftrace
said "overlap.pftrace: 8 events on 1 tile track and 3 overflow tracks for overlapping samples"
lacks err "warning"
python '
from trace_decoding import *
trace = check_perfetto("overlap.json", "overlap.pftrace", "overlap.vxprof")
assert [s["track"] for s in trace.slices["tile 4"]] == ["tile 4", "tile 4 (overlap 1)", "tile 4",
    "tile 4 (overlap 2)", "tile 4", "tile 4", "tile 4", "tile 4 (overlap 3)"], trace.slices
# Times that go back on their sequence are written in full (the decoder checks that only
# those are): a begin before the latest end, and an end before the latest time, seven in the
# first entry and one in the second.
assert trace.absolute_times == 8, trace.absolute_times
'
run 0 profile trace crowd.vxprof -o crowd.pftrace
said "crowd.pftrace: 28 events on 2 tile tracks and 18 overflow tracks for overlapping samples"
contains err "crowd.vxprof: warning: 4 samples found no track free of overlapping samples among the 16 of their tile"
python '
from trace_decoding import *
trace = check_perfetto("crowd.json", "crowd.pftrace", "crowd.vxprof", crowded=("tile 9",))
assert [s["track"] for s in trace.slices["tile 9"]][14:] == \
    ["tile 9 (overlap %d)" % n for n in (14, 15)] + ["tile 9"] * 4, trace.slices["tile 9"]
assert not trace.nested["tile 9"] and trace.nested["tile 4"], trace.nested
# Twenty samples on top of each other: the counter of tile 9 rises to 2000%.
assert max(v for _, v in trace.counters[(9, "Compute")]) == 2000, trace.counters
'
run 0 profile trace crowd.vxprof -o crowd-trace.json
lacks err "warning"
python 'from trace_decoding import *; check_json("crowd.json", "crowd-trace.json")'

# A report made from known 64-bit times, apart from the placement rule: a sample listed out of
# order, a tile that starts after another wrapped, one that starts before the report's first
# sample, two wraps and a zero-length sample. Both traces give the true times, less the whole
# wraps that put the first sample at 2^32 plus its counter value.
"$PYTHON" - <<'PY'
import json
T0 = 3 * 2**32 + 4_100_000_000
def sample(index, start, cycles, kind="Compute"):
    return {"step": {"local_index": index, "phase": 0, "epoch": 0, "operation": "op",
                     "kind": kind, "kernel": "k%d" % index, "metadata": []},
            "start_cycle": start % 2**32, "end_cycle": (start + cycles) % 2**32}
times = {1: [(T0, 5000), (T0 + 900_000, 100), (T0 + 400_000, 7000), (T0 + 1_600_000_000, 0),
             (T0 + 3_200_000_000, 1_000_000_000), (T0 + 4_700_000_000, 10)],
         6: [(T0 + 1_000_000_000, 2000), (T0 + 2_500_000_000, 2000)],
         2: [(T0 - 1_500_000_000, 300)]}
report = {"clock_hz": 1_000_000_000, "tiles": [
    {"physical_tile": tile, "samples": [sample(i, a, c, "Idle" if c == 0 else "Compute")
                                        for i, (a, c) in enumerate(spans)]}
    for tile, spans in times.items()]}
json.dump(report, open("known.json", "w"))
shift = 2 * 2**32
json.dump({str(t): [[a - shift, a - shift + c] for a, c in spans] for t, spans in times.items()},
          open("truth.json", "w"))
PY
"$TOOL" profile pack known.json -o known.vxprof
run 0 profile trace known.vxprof -o known.pftrace
contains err "1 sample starts earlier than the sample listed just before"
run 0 profile trace known.vxprof -o known-trace.json
python '
import json
from trace_decoding import PerfettoTrace, check_perfetto, check_json
truth = {"tile " + t: [tuple(s) for s in spans] for t, spans in json.load(open("truth.json")).items()}
trace = check_perfetto("known.json", "known.pftrace", "known.vxprof")
assert {t: [(s["start"], s["end"]) for s in slices] for t, slices in trace.slices.items()} == truth
# The out-of-order sample goes back on its sequence: its begin and end are written in full.
assert trace.absolute_times == 2, trace.absolute_times
events = check_json("known.json", "known-trace.json")["traceEvents"]
got = {}
for e in events:
    if e["ph"] == "X":
        got.setdefault("tile %d" % e["tid"], []).append(
            (round(e["ts"] * 1000), round((e["ts"] + e["dur"]) * 1000)))
assert got == truth, got
'

# The sample report in both formats; the format follows the name unless --format says.
run 0 profile trace run.vxprof -o run.pftrace
said "run.pftrace: 3386 events on 6 tile tracks"
python '
import sys
from trace_decoding import *
trace = check_perfetto(sys.argv[1], "run.pftrace", "run.vxprof")
named = [p for p in trace.packets if p.track_event.type == 1]
interned = sum(len(p.interned_data.event_names) for p in trace.packets)
values = [v.str for p in trace.packets for v in p.interned_data.debug_annotation_string_values]
assert len(named) == 3386 and interned < len(named) / 10, interned
# Annotation texts are interned unless they are shorter than their reference would be.
written = [a.string_value for p in named for a in p.track_event.debug_annotations
           if a.HasField("string_value")]
assert values and min(map(len, values)) >= 3 and max(map(len, written)) < 3, (values, written)
assert len(values) < len(named) / 10, len(values)
' "$SAMPLE"
run 0 profile trace run.vxprof -o run.trace --format perfetto
same run.pftrace run.trace
run 0 profile trace run.vxprof -o trace.json
said "trace.json: 3386 events on 6 tile tracks"
python '
import sys
from trace_decoding import *
events = check_json(sys.argv[1], "trace.json")["traceEvents"]
tagged = next(e for e in events if e["ph"] == "X" and e["args"]["operation"] == "lm_head")
assert tagged["args"]["metadata"]["tag"] == ["prefill", "lm_head"], tagged
' "$SAMPLE"
run 0 profile trace run.vxprof -o -
same out trace.json
empty err
# Perfetto's format for every file but one named .json; JSON on standard output.
run 0 profile trace run.vxprof -o run.trace
same run.trace run.pftrace
run 0 profile trace run.vxprof
same out trace.json
run 2 profile trace run.vxprof -o x.json --from -1
contains err "--from: expected a cycle on the device timeline, 0 or more, got -1"
run 0 profile trace run.vxprof -o forced.pftrace --format json
same forced.pftrace trace.json
python 'import os; assert os.path.getsize("run.pftrace") * 3 < os.path.getsize("trace.json")'

# Past 65536 distinct texts of one table the writer stops interning and writes the rest out:
# names, annotation names and annotation values alike.
"$PYTHON" - <<'PY'
import json
samples = [{"step": {"local_index": i, "phase": 0, "epoch": 0, "operation": "op%d" % i,
                     "kind": "Compute", "kernel": "k%d" % i,
                     "metadata": [{"name": "m%d" % i, "value": "v"}]},
            "start_cycle": 10 * i, "end_cycle": 10 * i + 5} for i in range(65540)]
json.dump({"clock_hz": 1000, "tiles": [{"physical_tile": 1, "samples": samples}]},
          open("many.json", "w"))
PY
"$TOOL" profile pack many.json -o many.vxprof
run 0 profile trace many.vxprof -o many.pftrace
python '
from trace_decoding import *
trace = check_perfetto("many.json", "many.pftrace", "many.vxprof")
events = [p.track_event for p in trace.packets if p.track_event.type == 1]
assert [e.HasField("name") for e in events[65535:]] == [False, True, True, True, True]
assert [e.debug_annotations[0].HasField("string_value") for e in events[65535:]] == \
    [False, True, True, True, True]
# Four step fields are interned first, so metadata names run out four samples earlier.
assert [e.debug_annotations[4].HasField("name") for e in events[65530:65534]] == \
    [False, False, True, True]
'

# An empty report is a trace with its tracks only.
printf '{"clock_hz": 1000, "tiles": [{"physical_tile": 4, "samples": []}]}' >empty.json
"$TOOL" profile pack empty.json -o empty.vxprof
run 0 profile trace empty.vxprof -o empty-trace.json
python 'import json; assert [e["ph"] for e in json.load(open("empty-trace.json"))["traceEvents"]] == ["M", "M", "M"]'
run 0 profile trace empty.vxprof -o empty.pftrace
python 'from trace_decoding import *; check_perfetto("empty.json", "empty.pftrace", "empty.vxprof")'

# A report that fails to read part way leaves no file, whatever was written before.
head -c 3000 run.vxprof >cut.vxprof
run 1 profile trace cut.vxprof -o cut.pftrace
contains err "vexa-package: cut.vxprof: Capnp("
absent cut.pftrace
no_leftovers .
run 2 profile trace run.vxprof -o x.pftrace --format svg
contains err "--format"

finish
