#!/usr/bin/env bash
# profile trace in both formats: the Perfetto file decoded with the tool's own .proto and the
# JSON file, each checked against tracks and slices computed here from the report's JSON.
source "$(dirname "$0")/lib.sh"
pack_samples
SAMPLE=$EXAMPLES/sample_profile.json
protoc --python_out=. -I "$EXAMPLES/../tools/vexa-package" perfetto_trace.proto

# A report with everything that is easy to get wrong: tile numbers that sort differently as
# text, a physical tile given twice, a tile without samples, counter wraps, zero-length
# samples, empty kernel and operation, repeated metadata names and texts that need escapes.
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
        sample(2 * top + 1, 2 * top + 3, 3, "Compute", "gemm", "matmul")]},
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

# The expected trace: per physical tile, in stored order, each sample's slice with times
# floor(cycles * 1e9 / clock_hz) ns of its tile entry's unwrapped cycles (cycles when the
# clock is 0).
cat >oracle.py <<'PY'
import json, sys
def expected(path):
    report = json.load(open(path))
    clock = report["clock_hz"]
    ns = (lambda c: c) if clock == 0 else (lambda c: c * 10**9 // clock)
    tracks = {}
    for tile in report["tiles"]:
        slices = tracks.setdefault(tile["physical_tile"], [])
        previous = None
        for raw in tile["samples"]:
            s = raw["step"]
            start = raw["start_cycle"] if previous is None else \
                previous + (raw["start_cycle"] - previous) % 2**32
            previous = start
            cycles = (raw["end_cycle"] - raw["start_cycle"]) % 2**32
            slices.append({"name": s["kernel"] or s["operation"] or s["kind"], "kind": s["kind"],
                           "start": ns(start), "end": ns(start + cycles), "cycles": cycles,
                           "operation": s["operation"], "local_index": s["local_index"],
                           "phase": s["phase"], "epoch": s["epoch"],
                           "metadata": [(m["name"], m["value"]) for m in s["metadata"]]})
    return clock, tracks

def perfetto_slices(path):
    import perfetto_trace_pb2 as pb
    trace = pb.Trace.FromString(open(path, "rb").read())
    packets = list(trace.packet)
    assert packets[0].sequence_flags == 1, "the first packet clears the incremental state"
    assert all(p.trusted_packet_sequence_id == packets[0].trusted_packet_sequence_id for p in packets)
    def intern(table, entries):
        texts = table.setdefault(None, set())
        for entry in entries:
            assert entry.iid not in table and entry.name not in texts, ("twice", entry)
            table[entry.iid] = entry.name
            texts.add(entry.name)
    tracks, device, order, slices, open_slice, default = {}, None, [], {}, {}, None
    tile_of, events = {}, {}
    for packet in packets:
        if packet.sequence_flags & 1:
            names, categories, keys, default = {}, {}, {}, None
        if packet.HasField("trace_packet_defaults"):
            default = packet.trace_packet_defaults.track_event_defaults.track_uuid
        intern(names, packet.interned_data.event_names)
        intern(categories, packet.interned_data.event_categories)
        intern(keys, packet.interned_data.debug_annotation_names)
        if packet.HasField("track_descriptor"):
            track = packet.track_descriptor
            if not track.HasField("parent_uuid"):
                assert device is None and track.child_ordering == 3, track
                device = track
            elif track.parent_uuid == device.uuid:
                assert track.uuid not in tracks and track.child_ordering == 3, track
                tracks[track.uuid] = track
                tile_of[track.uuid] = track.name
                order.append(track)
            else:
                # An overflow track, under its tile's, ranked by its number.
                parent = tracks[track.parent_uuid]
                assert track.uuid not in tracks and track.name == "%s (overlap %d)" % (
                    parent.name, track.sibling_order_rank), track
                tracks[track.uuid] = track
                tile_of[track.uuid] = parent.name
        if packet.HasField("track_event"):
            event = packet.track_event
            uuid = event.track_uuid if event.HasField("track_uuid") else default
            assert uuid in tracks, "an event before its track"
            if event.type == 1:
                assert packet.sequence_flags == 2 and uuid not in open_slice
                values = []
                for a in event.debug_annotations:
                    key = a.name if a.HasField("name") else keys[a.name_iid]
                    values.append((key, a.string_value if a.HasField("string_value") else a.uint_value))
                assert len(event.category_iids) == 1
                name = event.name if event.HasField("name") else names[event.name_iid]
                current = open_slice[uuid] = {"name": name,
                                              "kind": categories[event.category_iids[0]],
                                              "start": packet.timestamp,
                                              "annotations": values, "track": tracks[uuid].name}
            else:
                assert event.type == 2, event
                current = open_slice.pop(uuid)
                current["end"] = packet.timestamp
                slices.setdefault(tile_of[uuid], []).append(current)
            written = events.setdefault(uuid, [])
            written.append((packet.timestamp, len(written), event.type, id(current)))
    assert not open_slice
    # What a viewer does with each track: events in time order, ties in written order, and
    # every end closes the slice begun last. A slice that ends another is a broken nesting.
    nested = {}
    for uuid, track_events in events.items():
        stack, ok = [], True
        for _, _, kind, slice_id in sorted(track_events):
            if kind == 1:
                stack.append(slice_id)
            else:
                ok = ok and stack.pop() == slice_id
        nested[tracks[uuid].name] = ok
    # Explicit ordering: ranks rise with the tile number.
    ranked = sorted(order, key=lambda t: t.sibling_order_rank)
    return device, [t.name for t in ranked], slices, nested

def annotations(slice):
    return [("operation", slice["operation"]), ("local_index", slice["local_index"]),
            ("phase", slice["phase"]), ("epoch", slice["epoch"])] \
        + slice["metadata"]

def check_perfetto(report, trace, source, crowded=()):
    clock, tracks = expected(report)
    device, ranked, slices, nested = perfetto_slices(trace)
    assert all(ok for name, ok in nested.items() if name.split(" (")[0] not in crowded), nested
    assert device.name == "vexa device (%s)" % source, device.name
    assert ranked == ["tile %d" % t for t in sorted(tracks)], ranked
    for tile, wanted in tracks.items():
        got = slices.get("tile %d" % tile, [])
        assert len(got) == len(wanted), (tile, len(got), len(wanted))
        for mine, theirs in zip(got, wanted):
            assert mine["name"] == theirs["name"] and mine["kind"] == theirs["kind"], (mine, theirs)
            assert (mine["start"], mine["end"]) == (theirs["start"], theirs["end"]), (mine, theirs)
            assert mine["end"] >= mine["start"]
            assert mine["annotations"] == annotations(theirs), (mine, theirs)

def metadata_args(pairs):
    args = {}
    for name, value in pairs:
        if name not in args:
            args[name] = value
        else:
            args[name] = (args[name] if isinstance(args[name], list) else [args[name]]) + [value]
    return args

def check_json(report, trace):
    clock, tracks = expected(report)
    events = json.load(open(trace))["traceEvents"]
    threads = {e["tid"]: e["args"]["name"] for e in events if e["name"] == "thread_name"}
    assert threads == {t: "tile %d" % t for t in tracks}, threads
    ranks = {e["tid"]: e["args"]["sort_index"] for e in events if e["name"] == "thread_sort_index"}
    assert ranks == {t: t for t in tracks}, ranks
    for tile, wanted in tracks.items():
        got = [e for e in events if e["ph"] == "X" and e["tid"] == tile]
        assert len(got) == len(wanted), (tile, len(got), len(wanted))
        for event, theirs in zip(got, wanted):
            assert event["name"] == theirs["name"] and event["cat"] == theirs["kind"]
            # Microseconds with the nanoseconds as exact decimals.
            assert round(event["ts"] * 1000) == theirs["start"], (event, theirs)
            assert round(event["dur"] * 1000) == theirs["end"] - theirs["start"], (event, theirs)
            args = event["args"]
            assert args["operation"] == theirs["operation"] and args["cycles"] == theirs["cycles"]
            assert (args["local_index"], args["phase"], args["epoch"]) == \
                (theirs["local_index"], theirs["phase"], theirs["epoch"])
            assert args["metadata"] == metadata_args(theirs["metadata"]), (args, theirs)
    return events
PY

run 0 profile trace edge.vxprof -o edge.pftrace
contains out "edge.pftrace: 7 events on 3 tile tracks"
python 'exec(open("oracle.py").read()); check_perfetto("edge.json", "edge.pftrace", "edge.vxprof")'
run 0 profile trace edge.vxprof -o edge.json.trace --format json
python 'exec(open("oracle.py").read()); check_json("edge.json", "edge.json.trace")'
# The first sample of tile 10 ends after the wrap: its ends are rounded down on their own,
# 2863311510.67 ns to 2863311534 ns, so its 35 cycles at 1.5 GHz take 24 ns.
python '
import json
first = next(e for e in json.load(open("edge.json.trace"))["traceEvents"] if e["ph"] == "X")
assert first["dur"] == 0.024 and first["ts"] == 2863311.51, first
'
lacks err "warning"

# Clock 0: one cycle is one nanosecond, and the user is told.
run 0 profile trace clockless.vxprof -o clockless.perfetto-trace
contains err "clock_hz is 0; the trace shows one cycle as one nanosecond"
python 'exec(open("oracle.py").read()); check_perfetto("clockless.json", "clockless.perfetto-trace", "clockless.vxprof")'
run 0 profile trace clockless.vxprof -o clockless.json.trace
contains err "clock_hz is 0"
python 'exec(open("oracle.py").read()); check_json("clockless.json", "clockless.json.trace")'

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
contains out "overlap.pftrace: 8 events on 1 tile track and 3 overflow tracks for overlapping samples"
lacks err "warning"
python '
exec(open("oracle.py").read()); check_perfetto("overlap.json", "overlap.pftrace", "overlap.vxprof")
device, ranked, slices, nested = perfetto_slices("overlap.pftrace")
assert [s["track"] for s in slices["tile 4"]] == ["tile 4", "tile 4 (overlap 1)", "tile 4",
    "tile 4 (overlap 2)", "tile 4", "tile 4", "tile 4", "tile 4 (overlap 3)"], slices
'
run 0 profile trace crowd.vxprof -o crowd.pftrace
contains out "crowd.pftrace: 28 events on 2 tile tracks and 18 overflow tracks for overlapping samples"
contains err "crowd.vxprof: warning: 4 samples found no track free of overlapping samples among the 16 of their tile"
python '
exec(open("oracle.py").read())
check_perfetto("crowd.json", "crowd.pftrace", "crowd.vxprof", crowded=("tile 9",))
device, ranked, slices, nested = perfetto_slices("crowd.pftrace")
assert [s["track"] for s in slices["tile 9"]][14:] == ["tile 9 (overlap %d)" % n for n in (14, 15)] \
    + ["tile 9"] * 4, slices["tile 9"]
assert not nested["tile 9"] and nested["tile 4"], nested
'
run 0 profile trace crowd.vxprof -o crowd-trace.json
lacks err "warning"
python 'exec(open("oracle.py").read()); check_json("crowd.json", "crowd-trace.json")'

# The sample report in both formats; the format follows the name unless --format says.
run 0 profile trace run.vxprof -o run.pftrace
contains out "run.pftrace: 3386 events on 6 tile tracks"
python 'exec(open("oracle.py").read()); check_perfetto(sys.argv[1], "run.pftrace", "run.vxprof")' "$SAMPLE"
python '
import perfetto_trace_pb2 as pb
packets = pb.Trace.FromString(open("run.pftrace", "rb").read()).packet
named = [p for p in packets if p.track_event.type == 1]
interned = sum(len(p.interned_data.event_names) for p in packets)
assert len(named) == 3386 and interned < len(named) / 10, interned
'
run 0 profile trace run.vxprof -o run.trace --format perfetto
same run.pftrace run.trace
run 0 profile trace run.vxprof -o trace.json
contains out "trace.json: 3386 events on 6 tile tracks"
python '
exec(open("oracle.py").read())
events = check_json(sys.argv[1], "trace.json")
tagged = next(e for e in events if e["ph"] == "X" and e["args"]["operation"] == "lm_head")
assert tagged["args"]["metadata"]["tag"] == ["prefill", "lm_head"], tagged
' "$SAMPLE"
run 0 profile trace run.vxprof -o - 
same out trace.json
contains err "standard output: 3386 events"
run 0 profile trace run.vxprof -o forced.pftrace --format json
same forced.pftrace trace.json
python 'import os; assert os.path.getsize("run.pftrace") * 3 < os.path.getsize("trace.json")'

# Past 65536 distinct names of one table the writer stops interning and writes the rest out.
"$PYTHON" - <<'PY'
import json
samples = [{"step": {"local_index": i, "phase": 0, "epoch": 0, "operation": "op",
                     "kind": "Compute", "kernel": "k%d" % i,
                     "metadata": [{"name": "m%d" % i, "value": "v"}]},
            "start_cycle": 10 * i, "end_cycle": 10 * i + 5} for i in range(65540)]
json.dump({"clock_hz": 1000, "tiles": [{"physical_tile": 1, "samples": samples}]},
          open("many.json", "w"))
PY
"$TOOL" profile pack many.json -o many.vxprof
run 0 profile trace many.vxprof -o many.pftrace
python '
exec(open("oracle.py").read()); check_perfetto("many.json", "many.pftrace", "many.vxprof")
import perfetto_trace_pb2 as pb
events = [p.track_event for p in pb.Trace.FromString(open("many.pftrace", "rb").read()).packet
          if p.track_event.type == 1]
assert [e.HasField("name") for e in events[65535:]] == [False, True, True, True, True]
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
python 'exec(open("oracle.py").read()); check_perfetto("empty.json", "empty.pftrace", "empty.vxprof")'

# A report that fails to read part way leaves no file, whatever was written before.
head -c 3000 run.vxprof >cut.vxprof
run 1 profile trace cut.vxprof -o cut.pftrace
contains err "vexa-package: cut.vxprof: Capnp("
absent cut.pftrace
no_leftovers .
run 2 profile trace run.vxprof -o x.pftrace --format svg
contains err "--format"

finish
