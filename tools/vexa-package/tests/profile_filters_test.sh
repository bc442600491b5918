#!/usr/bin/env bash
# The sample filters on the profile commands that write samples out (dump, trace in both
# formats, svg): under each filter, the output equals the unfiltered output restricted to the
# samples a Python computation keeps, with the kept samples' times unchanged; and where the
# kept samples lie alike on their own, it equals the output for the report of just those
# samples, byte for byte. Every profile command takes the same filters.
source "$(dirname "$0")/lib.sh"
protoc --python_out=. -I "$EXAMPLES/../tools/vexa-package/trace" perfetto_trace.proto

for command in summary diff export collapsed trace svg dump; do
    run 0 profile "$command" --help
    for option in "--tiles LIST" "--kernel REGEX" "--operation REGEX" "--kind KIND" \
        "--from CYCLE" "--to CYCLE" "Filters keep the samples that pass all of them"; do
        contains out "$option"
    done
done

# Tiles that wrap, a physical tile given twice, a tile without samples, one whose samples a
# kernel filter removes, zero-length samples and samples that end after a wrap.
"$PYTHON" - <<'PY'
import json, random
rng = random.Random(15)
kinds = ["Exchange", "Compute", "Synchronization", "Idle"]
kernels = ["gemm_a", "gemm_b", "softmax", "", "copy;in"]
operations = ["mlp.up", "attn.qkv", "", "mlp.down"]
def tile(number, count, cycle, kernel=None):
    samples = []
    for index in range(count):
        duration = rng.choice([0, rng.randrange(1, 300), rng.randrange(300, 5000)])
        metadata = [{"name": "tag", "value": str(index % 3)}] * (index % 3)
        samples.append({"step": {"local_index": index, "phase": index % 5, "epoch": index // 50,
                                 "operation": operations[index // 2 % 4], "kind": kinds[index % 4],
                                 "kernel": kernel if kernel is not None else kernels[index % 5],
                                 "metadata": metadata},
                        "start_cycle": cycle % 2**32, "end_cycle": (cycle + duration) % 2**32})
        cycle += duration + rng.randrange(0, 40)
    return {"physical_tile": number, "samples": samples}
tiles = [tile(3, 300, 2**32 - 20000), tile(0, 300, 100), tile(12, 200, 3000), tile(3, 50, 5),
         {"physical_tile": 7, "samples": []}, tile(1, 100, 50, kernel="only_here")]
json.dump({"clock_hz": 1500000000, "tiles": tiles}, open("report.json", "w"))
PY
mkdir -p whole part
"$TOOL" profile pack report.json -o whole/run.vxprof

cat >oracle.py <<'PY'
import json, re
from device_timeline import placed
def kept(report, tiles=None, kernel=None, operation=None, kind=None, start_from=None, to=None):
    """Per tile entry left by --tiles: (tile, [(sample, start on the device timeline, kept)])."""
    places = {}
    for tile, _, sample, start, _ in placed(report):
        places.setdefault(id(tile), []).append((sample, start))
    out = []
    for tile in report["tiles"]:
        if tiles is not None and tile["physical_tile"] not in tiles:
            continue
        marks = []
        for sample, start in places.get(id(tile), []):
            step = sample["step"]
            keep = not (kind and step["kind"].lower() != kind.lower()) \
                and not (start_from is not None and start < start_from) \
                and not (to is not None and start >= to) \
                and not (kernel and not re.search(kernel, step["kernel"])) \
                and not (operation and not re.search(operation, step["operation"]))
            marks.append((sample, start, keep))
        out.append((tile, marks))
    return out

def restricted(report, marked):
    return {"clock_hz": report["clock_hz"],
            "tiles": [{"physical_tile": t["physical_tile"],
                       "samples": [s for s, _, keep in marks if keep]} for t, marks in marked]}

def places_alike(report, marked):
    """Whether the kept samples, as a report of their own, lie where they lie in the whole."""
    alone = [start for _, _, _, start, _ in placed(restricted(report, marked))]
    return alone == [start for _, marks in marked for _, start, keep in marks if keep]

def keep_flags(marked):
    return [keep for _, marks in marked for _, _, keep in marks]

def all_flags(report, marked):
    """Keep flags for every sample of the report, False for tiles left out by --tiles."""
    chosen = {id(t): marks for t, marks in marked}
    return [keep for t in report["tiles"]
            for keep in ([k for _, _, k in chosen[id(t)]] if id(t) in chosen
                         else [False] * len(t["samples"]))]

def perfetto_events(path):
    """Begin and end events in order as (type, time), and the tile track names (without the
    overflow tracks of overlapping samples, which depend on the samples kept, and the busy
    counters, which follow the filters)."""
    from trace_decoding import PerfettoTrace
    trace = PerfettoTrace(path)
    tracks = [p.track_descriptor.name for p in trace.packets
              if p.HasField("track_descriptor") and p.track_descriptor.HasField("parent_uuid")
              and "(overlap" not in p.track_descriptor.name
              and not p.track_descriptor.HasField("counter")]
    return trace.events, tracks

def pairs(events):
    assert [t for t, _ in events] == [1, 2] * (len(events) // 2)
    return [tuple(events[i:i + 2]) for i in range(0, len(events), 2)]
PY

run 0 profile dump whole/run.vxprof -o whole.json
run 0 profile trace whole/run.vxprof -o whole.trace.json
run 0 profile trace whole/run.vxprof -o whole.pftrace
same_timelines=0

# check PYARGS ARGS...: the outputs under the filters ARGS, which the oracle writes as PYARGS.
check() {
    local pyargs=$1
    shift
    python "
exec(open('oracle.py').read())
report = json.load(open('report.json'))
marked = kept(report, $pyargs)
json.dump(restricted(report, marked), open('part.json', 'w'))
open('alike', 'w').write('1' if places_alike(report, marked) else '0')
"
    "$TOOL" profile pack part.json -o part/run.vxprof

    # dump: the report of the kept samples, in the layout of an unfiltered dump.
    run 0 profile dump whole/run.vxprof -o filtered.json "$@"
    python "import json; assert json.load(open('filtered.json')) == json.load(open('part.json'))"
    run 0 profile dump part/run.vxprof -o part-dump.json
    same filtered.json part-dump.json
    run 0 profile dump part/run.vxprof --compact -o part-compact.json
    run 0 profile dump whole/run.vxprof --compact "$@"
    same out part-compact.json

    # trace, JSON: the unfiltered events of the kept samples and tiles, unchanged.
    run 0 profile trace whole/run.vxprof -o filtered.trace.json "$@"
    python "
exec(open('oracle.py').read())
report = json.load(open('report.json'))
marked = kept(report, $pyargs)
whole = json.load(open('whole.trace.json'))['traceEvents']
mine = json.load(open('filtered.trace.json'))['traceEvents']
slices = [e for e in whole if e['ph'] == 'X']
assert len(slices) == sum(len(t['samples']) for t in report['tiles'])
want = [e for e, keep in zip(slices, all_flags(report, marked)) if keep]
assert [e for e in mine if e['ph'] == 'X'] == want
tiles = {t['physical_tile'] for t, _ in marked}
assert [e for e in mine if e['ph'] == 'M'] == \
    [e for e in whole if e['ph'] == 'M' and (e['name'] == 'process_name' or e['tid'] in tiles)]
"
    # trace, Perfetto: the begin and end times of the kept samples, on the kept tiles' tracks.
    run 0 profile trace whole/run.vxprof -o filtered.pftrace "$@"
    python "
exec(open('oracle.py').read())
report = json.load(open('report.json'))
marked = kept(report, $pyargs)
whole, whole_tracks = perfetto_events('whole.pftrace')
mine, tracks = perfetto_events('filtered.pftrace')
want = [p for p, keep in zip(pairs(whole), all_flags(report, marked)) if keep]
assert pairs(mine) == want
assert tracks == [name for name in whole_tracks
                  if int(name.split()[1]) in {t['physical_tile'] for t, _ in marked}]
"
    # svg: the picture of the kept samples.
    run 0 profile svg whole/run.vxprof -o filtered.svg "$@"
    python "
import xml.etree.ElementTree as ET
exec(open('oracle.py').read())
report = json.load(open('report.json'))
marked = kept(report, $pyargs)
texts = [t.text for t in ET.parse('filtered.svg').getroot().iter('{http://www.w3.org/2000/svg}text')]
count = sum(keep_flags(marked))
assert any(' · %d tile%s · %d sample%s · ' % (len(marked), '' if len(marked) == 1 else 's', count,
                                               '' if count == 1 else 's') in t for t in texts), texts[:2]
starts = [start for _, marks in marked for _, start, keep in marks if keep]
origin = min(starts) if starts else 0
assert any(t.startswith('time from the earliest start, cycle %d ' % origin) for t in texts)
"
    # Where the kept samples lie alike on their own, the report of just them gives the
    # same files; the names of the reports are the same, in other directories.
    if [[ $(cat alike) == 1 ]]; then
        same_timelines=$((same_timelines + 1))
        (cd whole && "$TOOL" profile trace run.vxprof -o ../a.trace.json "$@" &&
            "$TOOL" profile trace run.vxprof -o ../a.pftrace "$@" &&
            "$TOOL" profile svg run.vxprof -o ../a.svg "$@") >/dev/null
        (cd part && "$TOOL" profile trace run.vxprof -o ../b.trace.json &&
            "$TOOL" profile trace run.vxprof -o ../b.pftrace &&
            "$TOOL" profile svg run.vxprof -o ../b.svg) >/dev/null
        for output in trace.json pftrace svg; do
            same a.$output b.$output
        done
    fi
}

check "tiles={0,1,2,3,12}" --tiles 0-3,12
check "tiles={7}" --tiles 7
check "kernel='^gemm'" --kernel '^gemm'
check "operation='mlp', kind='Compute'" --operation mlp --kind compute
check "kind='Idle', tiles={3}" --kind Idle --tiles 3
check "start_from=2**33 + 2000, to=2**33 + 9000" --from 8589936592 --to 8589943592
check "start_from=2**33" --from 8589934592
check "tiles={1,3}, start_from=2**33 + 1000, kernel='e'" --tiles 1,3 --from 8589935592 --kernel e
check "kernel='nothing matches'" --kernel 'nothing matches'
python "assert $same_timelines >= 5, $same_timelines"
python "
exec(open('oracle.py').read())
report = json.load(open('report.json'))
assert sum(keep_flags(kept(report, operation='mlp', kind='Compute'))) > 0
assert not places_alike(report, kept(report, start_from=2**33))
"

# The filters are checked as they are parsed, on these commands as on the others.
for command in "trace whole/run.vxprof -o x.pftrace" "svg whole/run.vxprof -o x.svg" \
    "dump whole/run.vxprof"; do
    # shellcheck disable=SC2086
    run 2 profile $command --tiles 3-1
    contains err "expected tile numbers and ranges such as 0-3,8, got '3-1'"
    # shellcheck disable=SC2086
    run 2 profile $command --kernel '('
    contains err "not a regular expression"
done
absent x.pftrace
absent x.svg

finish
