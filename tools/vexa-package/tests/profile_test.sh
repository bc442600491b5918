#!/usr/bin/env bash
# profile summary and svg on the sample report, checked against figures computed here
# from the sample JSON.
source "$(dirname "$0")/lib.sh"
pack_samples
SAMPLE=$EXAMPLES/sample_profile.json

# Figures of the sample computed independently: cycles are end - start modulo 2^32, starts
# placed on the device timeline (device_timeline.py).
cat >oracle.py <<'PY'
import json, sys
from device_timeline import starts_by_entry
report = json.load(open(sys.argv[1]))
clock = report["clock_hz"]
tiles = []
kernels = {}
for tile, places in zip(report["tiles"], starts_by_entry(report)):
    kinds = {"Exchange": 0, "Compute": 0, "Synchronization": 0, "Idle": 0}
    for sample in tile["samples"]:
        cycles = (sample["end_cycle"] - sample["start_cycle"]) % 2**32
        kinds[sample["step"]["kind"]] += cycles
        kernel = sample["step"]["kernel"]
        kernels[kernel] = kernels.get(kernel, 0) + cycles
    tiles.append({"tile": tile["physical_tile"], "samples": len(tile["samples"]),
                  "kinds": kinds, "cycles": sum(kinds.values()),
                  "starts": [start for start, _ in places], "ends": [end for _, end in places]})
covered = max(max(t["ends"]) for t in tiles) - min(min(t["starts"]) for t in tiles)
PY

run 0 profile summary run.vxprof
contains out "clock    1.20 GHz (1200000000 Hz)"
contains out "tiles    6"
contains out "samples  3386"
python '
import re, sys
exec(open("oracle.py").read())
text = open("out").read()
assert re.search(r"^covered  %d cycles, 1\.[0-9]+ ms" % covered, text, re.M), covered
for tile in tiles:
    shares = " +".join("%.1f%%" % (100 * tile["kinds"][k] / tile["cycles"])
                       for k in ("Exchange", "Compute", "Synchronization", "Idle"))
    busy = "%.1f%%" % (100 * (tile["cycles"] - tile["kinds"]["Idle"]) / covered)
    row = r"^ +%d +%d +%d +%d +%s +%s$" % (tile["tile"], tile["samples"], tile["cycles"],
                                           max(tile["ends"]) - min(tile["starts"]), shares, busy)
    assert re.search(row, text, re.M), row
top = max(kernels, key=kernels.get)
assert re.search(r"^kernels with the most cycles \(top 10 of %d\)$" % len(kernels), text, re.M)
first = text.split("kernels with the most cycles")[1].splitlines()[2].split()
assert first[0] == (top or "(none)") and int(first[2]) == kernels[top], (first, top)
' "$SAMPLE"

run 0 profile summary run.vxprof --json --top 3
python '
import json, sys
exec(open("oracle.py").read())
summary = json.load(open("out"))
assert summary["clock_hz"] == 1200000000 and summary["sample_count"] == 3386
assert summary["covered_cycles"] == covered
assert abs(summary["covered_seconds"] - covered / clock) < 1e-12
for mine, theirs in zip(summary["tiles"], tiles):
    assert mine["physical_tile"] == theirs["tile"]
    assert mine["cycles_by_kind"] == theirs["kinds"], (mine, theirs)
    assert mine["cycles"] == theirs["cycles"]
assert len(summary["kernels"]) == 3 and summary["kernel_count"] == len(kernels)
ranked = sorted(kernels.items(), key=lambda item: (-item[1], item[0]))[:3]
assert [(k["name"], k["cycles"]) for k in summary["kernels"]] == ranked
' "$SAMPLE"

run 0 profile svg run.vxprof -o timeline.svg
contains err "timeline.svg: 6 rows"
python '
import xml.etree.ElementTree as ET
svg = ET.parse("timeline.svg").getroot()
ns = {"s": "http://www.w3.org/2000/svg"}
assert svg.tag == "{http://www.w3.org/2000/svg}svg"
texts = [t.text for t in svg.iter("{http://www.w3.org/2000/svg}text")]
for tile in (0, 1, 2, 3, 8, 9):
    assert "tile %d" % tile in texts, texts
for kind in ("Exchange", "Compute", "Synchronization", "Idle"):
    assert any(t.startswith(kind + " ") for t in texts), kind
assert any(t.endswith("ms") for t in texts), "no time axis"
rows = [r for r in svg.iter("{http://www.w3.org/2000/svg}rect") if r.get("class") == "row"]
assert len(rows) == 6
titles = [t.text for t in svg.iter("{http://www.w3.org/2000/svg}title")]
assert any("gemv_f16_768 (Compute)" in t for t in titles)
assert any("barrier_all_tiles (Synchronization)" in t for t in titles)
for rect in svg.iter("{http://www.w3.org/2000/svg}rect"):
    if rect.get("x") is not None:
        assert float(rect.get("x")) >= 0 and float(rect.get("width")) > 0
'

# An unknown clock and texts that need escapes.
"$PYTHON" - "$SAMPLE" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
report["clock_hz"] = 0
report["tiles"] = report["tiles"][:1]
report["tiles"][0]["samples"] = report["tiles"][0]["samples"][:5]
step = report["tiles"][0]["samples"][0]["step"]
step["kernel"] = "odd <&\"'> \u0001 name"
step["metadata"].append({"name": "note", "value": "</title>]]>"})
json.dump(report, open("clockless.json", "w"))
PY
"$TOOL" profile pack clockless.json -o clockless.vxprof
run 0 profile summary clockless.vxprof
contains out "clock    0 Hz (unknown: times are not shown)"
run 0 profile svg clockless.vxprof -o clockless.svg
python 'import xml.etree.ElementTree as ET; ET.parse("clockless.svg")'
contains clockless.svg "odd &lt;&amp;&quot;&apos;&gt; "

# Empty reports still give a summary and a picture.
printf '{"clock_hz": 1000, "tiles": [{"physical_tile": 4, "samples": []}]}' >empty.json
"$TOOL" profile pack empty.json -o empty.vxprof
run 0 profile summary empty.vxprof
contains out "samples  0"
run 0 profile svg empty.vxprof -o empty.svg
python 'import xml.etree.ElementTree as ET; ET.parse("empty.svg")'

# Many samples: the picture stays bounded by its width, not by the sample count.
"$PYTHON" - <<'PY'
import json, random
rng = random.Random(7)
kinds = ["Exchange", "Compute", "Synchronization", "Idle"]
tiles = []
for number in range(4):
    cycle, samples = 4_000_000_000, []
    for index in range(25_000):
        length = rng.randrange(1, 400)
        samples.append({"step": {"local_index": index, "phase": 0, "epoch": index // 100,
                                 "operation": "op", "kind": kinds[index % 4],
                                 "kernel": "k%d" % (index % 7), "metadata": []},
                        "start_cycle": cycle % 2**32, "end_cycle": (cycle + length) % 2**32})
        cycle += length + rng.randrange(0, 20)
    tiles.append({"physical_tile": number, "samples": samples})
json.dump({"clock_hz": 1_000_000_000, "tiles": tiles}, open("many.json", "w"),
          separators=(",", ":"))
PY
"$TOOL" profile pack many.json -o many.vxprof
run 0 profile svg many.vxprof -o many.svg --width 800
python '
import os, xml.etree.ElementTree as ET
svg = ET.parse("many.svg").getroot()
bars = [r for r in svg.iter("{http://www.w3.org/2000/svg}rect") if (r.get("class") or "").startswith("k")]
# at most one bar per pixel column and tile, plus the legend
assert len(bars) <= 4 * 800 + 4, len(bars)
assert os.path.getsize("many.svg") < 1_500_000, os.path.getsize("many.svg")
titles = [t.text for t in svg.iter("{http://www.w3.org/2000/svg}title")]
assert any("samples merged" in t for t in titles)
'

finish
