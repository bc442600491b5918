#!/usr/bin/env bash
# size on the sample package: every breakdown in CSV and JSON against figures computed here
# from the sample JSON, and the limit and order of the text table.
source "$(dirname "$0")/lib.sh"
pack_samples

cat >oracle.py <<'PY'
import base64, json, os, sys
app = json.load(open(sys.argv[1]))
number = lambda value: int(value, 0) if isinstance(value, str) else value
decode = lambda data: bytes.fromhex(data["hex"]) if isinstance(data, dict) else base64.b64decode(data)
file_bytes = os.path.getsize("app.vxpkg")
tiles, segments, flags = [], [], {}
for tile in app["tiles"]:
    data = memory = 0
    for index, segment in enumerate(tile["segments"]):
        size = len(decode(segment["data"]))
        data += size
        memory += number(segment["memory_size"])
        segments.append([tile["physical_tile"], index, number(segment["address"]),
                         number(segment["flags"]), size, number(segment["memory_size"])])
        entry = flags.setdefault(number(segment["flags"]), [0, 0, 0])
        entry[0] += 1; entry[1] += size; entry[2] += number(segment["memory_size"])
    tiles.append([tile["physical_tile"], len(tile["segments"]), data, memory, 0, 0])
bindings = []
for name, key in (("input", "inputs"), ("output", "outputs"), ("weight", "weights")):
    for binding in app[key]:
        total = sum(number(s["size"]) for s in binding["slices"])
        bindings.append([name, binding["name"], binding["dtype"], len(binding["slices"]), total,
                         len({s["tile"] for s in binding["slices"]})])
        for piece in binding["slices"]:
            row = next(t for t in tiles if t[0] == piece["tile"])
            row[4] += 1; row[5] += number(piece["size"])
payload = sum(t[2] for t in tiles)
largest = lambda rows, a, b: sorted(rows, key=lambda r: (-r[a], -r[b]))
expected = {"tile": largest(tiles, 2, 3), "segment": largest(segments, 4, 5),
            "binding": largest(bindings, 4, 3)}
PY

for by in tile segment binding; do
    run 0 size app.vxpkg --by $by --csv
    cp out $by.csv
    python '
import csv, sys
exec(open("oracle.py").read())
by = sys.argv[2]
raw = open(by + ".csv", newline="").read()
assert raw.endswith("\r\n") and "\r\n" in raw
rows = list(csv.reader(open(by + ".csv", newline="")))
header = {"tile": "tile,segments,data_bytes,memory_bytes,binding_slices,binding_bytes",
          "segment": "tile,segment,address,flags,data_bytes,memory_bytes",
          "binding": "list,name,dtype,slices,bytes,tiles"}[by]
assert ",".join(rows[0]) == header, rows[0]
typed = [[int(c) if c.isdigit() else c for c in row] for row in rows[1:]]
assert typed == expected[by], (typed, expected[by])
' "$EXAMPLES/sample_application.json" $by
done

run 0 size app.vxpkg --json --by segment -n 4
python '
import json, sys
exec(open("oracle.py").read())
size = json.load(open("out"))
assert size["file_bytes"] == file_bytes and size["payload_bytes"] == payload
assert size["overhead_bytes"] == file_bytes - payload
assert size["memory_bytes"] == sum(t[3] for t in tiles)
assert size["row_count"] == len(segments) and len(size["rows"]) == 4
names = ["tile", "segment", "address", "flags", "data_bytes", "memory_bytes"]
assert [[row[n] for n in names] for row in size["rows"]] == expected["segment"][:4]
assert {f["flags"]: [f["segments"], f["data_bytes"], f["memory_bytes"]] for f in size["flags"]} == flags
lists = {entry["list"]: entry for entry in size["binding_lists"]}
for name in ("input", "output", "weight"):
    mine = [b for b in bindings if b[0] == name]
    assert lists[name]["bindings"] == len(mine) and lists[name]["bytes"] == sum(b[4] for b in mine)
exchange = app["host_exchange"]
assert size["host_exchange"]["pages"] == len(exchange["pages"])
assert size["host_exchange"]["page_bytes"] == sum(number(p["size"]) for p in exchange["pages"])
assert size["host_exchange"]["calls"] == len(exchange["calls"])
assert size["host_exchange"]["input_bytes"] == sum(number(s["size"]) for c in exchange["calls"] for s in c["inputs"])
' "$EXAMPLES/sample_application.json"

run 0 size app.vxpkg -n 2
contains out "by tile (largest 2 of 6)"
line_matches out "^segment data +[0-9]+ bytes \([0-9.]+%\)$"
python '
exec(open("oracle.py").read())
lines = open("out").read().split("by tile")[1].splitlines()[2:]
assert len(lines) == 2, lines
assert [int(line.split()[0]) for line in lines] == [t[0] for t in expected["tile"][:2]]
' "$EXAMPLES/sample_application.json"

# A binding name with a comma and a quote is quoted as RFC 4180 has it.
"$PYTHON" - "$EXAMPLES/sample_application.json" <<'PY'
import json, sys
app = json.load(open(sys.argv[1]))
app["weights"][0]["name"] = 'odd, "quoted" name'
json.dump(app, open("odd.json", "w"))
PY
"$TOOL" pack odd.json -o odd.vxpkg
run 0 size odd.vxpkg --by binding --csv
contains out '"odd, ""quoted"" name"'
python '
import csv
rows = list(csv.reader(open("out", newline="")))
assert any(row[1] == "odd, \"quoted\" name" for row in rows), rows
'

run 2 size app.vxpkg --by page
run 2 size app.vxpkg --csv --json
run 1 size run.vxprof
contains err "this is a profile report, not an application package"

finish
