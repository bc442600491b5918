#!/usr/bin/env bash
# Broken files and command lines: the message, the exit status, and no output left behind.
source "$(dirname "$0")/lib.sh"
pack_samples
"$TOOL" dump app.vxpkg -o app.json
mkdir outputs

# expect_failure TEXT ARGS...: the tool fails with status 1 and a message holding TEXT.
expect_failure() {
    local text=$1
    shift
    run 1 "$@"
    line_matches err "^vexa-package: "
    contains err "$text"
    empty out
    lacks err "terminate called"
}

# ---- packages that cannot be read
head -c 300 app.vxpkg >truncated.vxpkg
: >empty.vxpkg
head -c 4096 /dev/urandom >noise.vxpkg
size=$(stat -c %s app.vxpkg)
for command in inspect dump; do
    # A file-level fault in words, with the library's error on a second line.
    expect_failure "vexa-package: truncated.vxpkg: the file is truncated: it holds 300 bytes of the $size its header announces" $command truncated.vxpkg
    contains err "vexa-package: truncated.vxpkg: Capnp("
    expect_failure "vexa-package: empty.vxpkg: the file is empty" $command empty.vxpkg
    contains err "vexa-package: empty.vxpkg: Capnp("
    expect_failure "vexa-package: noise.vxpkg: " $command noise.vxpkg
    expect_failure "vexa-package: run.vxprof: this is a profile report, not an application package; use 'vexa-package profile summary'" $command run.vxprof
    expect_failure "vexa-package: missing.vxpkg: cannot open: No such file or directory" $command missing.vxpkg
    expect_failure "vexa-package: outputs: cannot read: Is a directory" $command outputs
done
expect_failure "vexa-package: truncated.vxpkg: Capnp(" image truncated.vxpkg --tile 0 -o outputs/tile.bin
expect_failure 'Invalid("unknown tile 5")' image app.vxpkg --tile 5 -o outputs/tile.bin
absent outputs/tile.bin

# Every cut of a package fails cleanly, never with a crash.
for cut in 0 1 7 8 9 15 16 17 64 $((size / 2)) $((size - 8)) $((size - 1)); do
    head -c "$cut" app.vxpkg >cut.vxpkg
    expect_failure "vexa-package: cut.vxpkg: Capnp(" inspect cut.vxpkg
done

# ---- reports that cannot be read
head -c 300 run.vxprof >truncated.vxprof
expect_failure "vexa-package: truncated.vxprof: the file is truncated: it holds 300 bytes of the $(stat -c %s run.vxprof) its header announces" profile summary truncated.vxprof
contains err "vexa-package: truncated.vxprof: Capnp("
expect_failure "vexa-package: truncated.vxprof: Capnp(" profile trace truncated.vxprof -o outputs/trace.json
expect_failure "vexa-package: truncated.vxprof: Capnp(" profile svg truncated.vxprof -o outputs/t.svg
# A package reads as a report of nonsense, so every profile command refuses it by its root.
for command in "profile summary" "profile dump" "profile trace -o outputs/trace.json" \
    "profile svg -o outputs/t.svg"; do
    expect_failure "vexa-package: app.vxpkg: this is an application package, not a profile report; use 'vexa-package inspect'" $command app.vxpkg
done
# A stored schema version the reader does not know, written into the root's first field:
# past the segment table, the root pointer gives the offset of the root's data.
"$PYTHON" -c '
data = bytearray(open("run.vxprof", "rb").read())
segments = int.from_bytes(data[0:4], "little") + 1
first = (4 + 4 * segments + 7) // 8 * 8
pointer = int.from_bytes(data[first:first + 4], "little")
assert pointer & 3 == 0, "the root is not a struct"
offset = pointer >> 2
root = first + 8 + 8 * (offset - (1 << 30) if offset & (1 << 29) else offset)
assert int.from_bytes(data[root:root + 4], "little") == 3, "no version 3 at the root"
data[root:root + 4] = (9).to_bytes(4, "little")
open("future.vxprof", "wb").write(data)
'
expect_failure 'vexa-package: future.vxprof: Invalid("unsupported profile schema version 9")' profile summary future.vxprof
expect_failure 'Invalid("unsupported profile schema version 9")' profile dump future.vxprof

# ---- JSON that is not JSON
printf '{\n  "compiler_version": "x",\n  "tiles": [1,,]\n}\n' >syntax.json
expect_failure "vexa-package: syntax.json: line 3, column 15: syntax error" pack syntax.json -o outputs/p.vxpkg
printf '{"clock_hz": 1, "tiles": [' >cut.json
expect_failure "vexa-package: cut.json: line 1, column 26: syntax error" profile pack cut.json -o outputs/p.vxprof
printf '{"clock_hz": 1, "tiles": []} {}' >trailing.json
expect_failure "vexa-package: trailing.json: line 1, column 30: syntax error" profile pack trailing.json -o outputs/p.vxprof
printf '{"clock_hz": 1, "tiles": [{"physical_tile": 1, "physical_tile": 2, "samples": []}]}' >twice.json
expect_failure "vexa-package: twice.json: tiles[0].physical_tile: field given twice" profile pack twice.json -o outputs/p.vxprof
printf '"\xff"' >latin.json
expect_failure "vexa-package: latin.json: line 1, column 2: syntax error while parsing value - invalid string: ill-formed UTF-8 byte" pack latin.json -o outputs/p.vxpkg

# ---- JSON with a wrong, missing or unknown field: the path names it
# mutate NAME PYTHON: app.json changed by the statement PYTHON (on `app`) into NAME.json.
mutate() {
    "$PYTHON" -c "
import json
app = json.load(open('app.json'))
$2
json.dump(app, open('$1.json', 'w'))
"
}
mutate negative 'app["tiles"][2]["segments"][0]["address"] = -1'
expect_failure "vexa-package: negative.json: tiles[2].segments[0].address: expected an unsigned 32-bit integer, got -1" pack negative.json -o outputs/p.vxpkg
mutate wide 'app["tiles"][2]["segments"][0]["address"] = 4294967296'
expect_failure "tiles[2].segments[0].address: expected an unsigned 32-bit integer, got 4294967296" pack wide.json -o outputs/p.vxpkg
mutate fraction 'app["inputs"][0]["slices"][1]["size"] = 2.5'
expect_failure "inputs[0].slices[1].size: expected an unsigned 64-bit integer, got 2.5" pack fraction.json -o outputs/p.vxpkg
mutate huge 'app["inputs"][0]["slices"][1]["file_offset"] = 18446744073709551616'
expect_failure "inputs[0].slices[1].file_offset: expected an unsigned 64-bit integer, got a number beyond 64 bits" pack huge.json -o outputs/p.vxpkg
mutate text 'app["host_exchange"]["pages"][1]["size"] = "4096"'
expect_failure 'host_exchange.pages[1].size: expected an unsigned 64-bit integer, got "4096"' pack text.json -o outputs/p.vxpkg
mutate missing 'del app["host_exchange"]["calls"][1]["phases"]'
expect_failure "host_exchange.calls[1].phases: missing field" pack missing.json -o outputs/p.vxpkg
mutate unknown 'app["weights"][0]["dtpye"] = "f16"'
expect_failure "weights[0].dtpye: unknown field; expected the fields name, dtype, shape, slices" pack unknown.json -o outputs/p.vxpkg
mutate base64 'app["tiles"][1]["segments"][0]["data"] = "AQID!A=="'
expect_failure "tiles[1].segments[0].data: invalid base64 at character 5" pack base64.json -o outputs/p.vxpkg
mutate list 'app["tiles"] = {}'
expect_failure "tiles: expected a list, got an object" pack list.json -o outputs/p.vxpkg
mutate shape 'app["outputs"][0]["shape"][2] = -512'
expect_failure "outputs[0].shape[2]: expected an unsigned 32-bit integer, got -512" pack shape.json -o outputs/p.vxpkg
printf '[]' >array.json
expect_failure "vexa-package: array.json: top level: expected an object with the fields compiler_version, tiles" pack array.json -o outputs/p.vxpkg
"$PYTHON" -c '
import json, sys
report = json.load(open(sys.argv[1]))
report["tiles"][1]["samples"][3]["step"]["kind"] = "compute"
json.dump(report, open("kind.json", "w"))
' "$EXAMPLES/sample_profile.json"
expect_failure 'tiles[1].samples[3].step.kind: expected one of Exchange, Compute, Synchronization, Idle, got "compute"' profile pack kind.json -o outputs/p.vxprof

# ---- a package that breaks a rule is refused with the library's message
mutate duplicate 'app["tiles"][1]["physical_tile"] = 0'
expect_failure 'vexa-package: duplicate.json: Invalid("duplicate physical tile 0")' pack duplicate.json -o outputs/p.vxpkg
mutate batches 'app["host_exchange"]["calls"][2]["input_batch_ends"] = [1, 2]'
expect_failure 'Invalid("host call decode_step input batches cover 2 of 4 slices")' pack batches.json -o outputs/p.vxpkg

# Nothing was written into outputs/, not even a temporary file.
python 'import os; assert os.listdir("outputs") == [], os.listdir("outputs")'

# ---- an existing output is replaced only on success
echo "keep me" >outputs/keep.vxpkg
expect_failure "tiles[2].segments[0].address" pack negative.json -o outputs/keep.vxpkg
contains outputs/keep.vxpkg "keep me"
run 0 pack app.json -o outputs/keep.vxpkg
same app.vxpkg outputs/keep.vxpkg
no_leftovers outputs
expect_failure "vexa-package: no/such/dir/p.vxpkg: cannot create a file beside it: No such file or directory" pack app.json -o no/such/dir/p.vxpkg
if [[ $(id -u) -ne 0 ]]; then
    mkdir locked && chmod a-w locked
    expect_failure "vexa-package: locked/p.vxpkg: cannot create a file beside it: Permission denied" pack app.json -o locked/p.vxpkg
fi
# A device is written in place, never replaced; a full one is reported. The devices are made
# here, the machine's own are never written to.
mknod null c 1 3
mknod full c 1 7
run 0 dump app.vxpkg -o null
python 'import os, stat; assert stat.S_ISCHR(os.stat("null").st_mode)'
run 1 dump app.vxpkg -o full
contains err "vexa-package: full: write failed: No space left on device"
status=0
"$TOOL" dump app.vxpkg >full 2>stdout-err || status=$?
[[ $status -eq 1 ]] && pass || fail "a full standard output gave status $status"
contains stdout-err "vexa-package: standard output: write failed: No space left on device"
# A link keeps pointing at the file, which is replaced.
ln -s target.json outputs/link.json
run 0 dump app.vxpkg -o outputs/link.json
[[ -L outputs/link.json ]] && pass || fail "the link was replaced"
same app.json outputs/target.json
rm outputs/link.json outputs/target.json

# ---- usage errors give status 2
run 2
contains err "vexa-package: A subcommand is required"
run 2 frobnicate app.vxpkg
contains err "vexa-package: unknown command frobnicate (see 'vexa-package --help')"
run 2 inspect
contains err "vexa-package: inspect: PACKAGE is required (see 'vexa-package inspect --help')"
run 2 inspect app.vxpkg --colour
contains err "--colour"
# Without -o a package goes to standard output (only a terminal is refused).
run 0 pack app.json
same out app.vxpkg
run 2 image app.vxpkg -o outputs/x.bin
contains err "vexa-package: image: --tile or --all is required"
run 2 image app.vxpkg --tile 1 --all -o outputs/x.bin
run 2 image app.vxpkg --tile -3 -o outputs/x.bin
run 2 --log-level loud inspect app.vxpkg
contains err "loud not in {off,error,warn,info,debug,trace}"
run 2 profile svg run.vxprof -o outputs/t.svg --width 5
python 'import os; assert os.listdir("outputs") == ["keep.vxpkg"], os.listdir("outputs")'

finish
