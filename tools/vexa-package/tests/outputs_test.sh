#!/usr/bin/env bash
# Every command that writes a file writes it the same way: a character device, a FIFO or a
# symbolic link is written through, never replaced; a replaced file keeps its permissions; an
# output that is one of the inputs is refused before anything is written; binary data is not
# written to a terminal unless asked for; status lines go to standard error, -q silences them.
source "$(dirname "$0")/lib.sh"
pack_samples
cp app.vxpkg app.copy
cp run.vxprof run.copy

# The commands that write a file, as ARGS with the output last: -o OUTPUT is appended.
commands=(
    "dump app.vxpkg"
    "pack $EXAMPLES/sample_application.json"
    "image app.vxpkg --tile 0"
    "profile dump run.vxprof"
    "profile pack $EXAMPLES/sample_profile.json"
    "profile export run.vxprof"
    "profile collapsed run.vxprof"
    "profile trace run.vxprof --format json"
    "profile trace run.vxprof --format perfetto"
    "profile svg run.vxprof"
)

# ---- a character device is written in place and stays a device
mknod null c 1 3
mknod full c 1 7
for command in "${commands[@]}"; do
    # shellcheck disable=SC2086
    run 0 $command -o null
    python 'import os, stat; assert stat.S_ISCHR(os.stat("null").st_mode)'
    # shellcheck disable=SC2086
    run 1 $command -o full
    contains err "vexa-package: full: write failed: No space left on device"
done
no_leftovers .

# ---- a FIFO is written in place: a reader gets what the file would hold
mkfifo pipe
for command in "profile export run.vxprof" "dump app.vxpkg" "profile svg run.vxprof"; do
    # shellcheck disable=SC2086
    "$TOOL" -q $command -o file.out
    cat pipe >piped.out &
    reader=$!
    # shellcheck disable=SC2086
    run 0 $command -o pipe
    wait "$reader"
    same file.out piped.out
    python 'import os, stat; assert stat.S_ISFIFO(os.stat("pipe").st_mode)'
done

# ---- a link is followed; the file it points to is replaced and keeps its mode
mkdir dir
for command in "${commands[@]}"; do
    rm -f dir/target dir/link
    echo old >dir/target
    chmod 600 dir/target
    ln -s target dir/link
    # shellcheck disable=SC2086
    run 0 $command -o dir/link
    [[ -L dir/link ]] && pass || fail "$command replaced the link"
    python 'import os, stat; assert stat.S_IMODE(os.stat("dir/target").st_mode) == 0o600, oct(os.stat("dir/target").st_mode)'
    lacks dir/target "old"
done
no_leftovers dir

# ---- an output that is an input is refused, however it is spelt
ln -s app.vxpkg app.link
ln app.vxpkg app.hard
mkdir sub
for output in app.vxpkg ./app.vxpkg sub/../app.vxpkg "$WORK/app.vxpkg" app.link app.hard; do
    for command in "dump app.vxpkg" "image app.vxpkg --tile 0"; do
        # shellcheck disable=SC2086
        run 2 $command -o "$output"
        contains err "vexa-package: $output: is the same file as the input app.vxpkg; nothing was written"
        same app.vxpkg app.copy
    done
done
for command in "profile dump run.vxprof" "profile export run.vxprof" "profile collapsed run.vxprof" \
    "profile trace run.vxprof" "profile svg run.vxprof"; do
    # shellcheck disable=SC2086
    run 2 $command -o ./run.vxprof
    contains err "is the same file as the input run.vxprof"
    same run.vxprof run.copy
done
run 2 profile export run.vxprof -o samples.csv --metadata run.vxprof
same run.vxprof run.copy
# --all checks every image's name before it writes the first.
mkdir images
cp app.vxpkg images/tile-3.bin
run 2 image images/tile-3.bin --all -o images
contains err "vexa-package: images/tile-3.bin: is the same file as the input images/tile-3.bin"
python 'import os; assert sorted(os.listdir("images")) == ["tile-3.bin"], os.listdir("images")'
same images/tile-3.bin app.copy
# Standard input and output count too: a package appended to itself through the shell.
cp app.vxpkg stdin.vxpkg
run 2 dump - -o stdin.vxpkg <stdin.vxpkg
contains err "is the same file as the input standard input"
status=0
"$TOOL" dump app.vxpkg >>app.vxpkg 2>appended.err || status=$?
[[ $status -eq 2 ]] && pass || fail "dump onto its input through >> gave status $status"
same app.vxpkg app.copy
contains appended.err "vexa-package: standard output: is the same file as the input app.vxpkg"
# Two outputs of one command that are one file.
run 2 profile export run.vxprof -o both.csv --metadata ./both.csv
contains err "--metadata and -o name the same file"
absent both.csv

# ---- binary data is not written to a terminal unless -o - asks for it
cat >on_terminal.py <<'PY'
import os, pty, subprocess, sys, tty
# Runs the tool with standard output on a terminal, in raw mode so that bytes pass unchanged;
# prints its exit status and how many bytes it wrote there, and passes its errors on.
controller, terminal = pty.openpty()
tty.setraw(terminal)
child = subprocess.Popen(sys.argv[1:], stdout=terminal, stderr=open("terminal.err", "wb"))
os.close(terminal)
written = 0
while True:
    try:
        chunk = os.read(controller, 65536)
    except OSError:
        break
    if not chunk:
        break
    written += len(chunk)
print(child.wait(), written)
PY
for command in "pack $EXAMPLES/sample_application.json" "profile pack $EXAMPLES/sample_profile.json" \
    "image app.vxpkg --tile 0" "profile trace run.vxprof --format perfetto"; do
    # shellcheck disable=SC2086
    "$PYTHON" on_terminal.py "$TOOL" $command >terminal.out
    contains terminal.out "2 0"
    contains terminal.err "refusing to write binary data to a terminal; give -o FILE, or -o - to write it to standard output anyway"
done
"$PYTHON" on_terminal.py "$TOOL" image app.vxpkg --tile 0 -o - >terminal.out
contains terminal.out "0 81920"
# Text goes to a terminal as it always did.
"$PYTHON" on_terminal.py "$TOOL" dump app.vxpkg >terminal.out
line_matches terminal.out "^0 [1-9][0-9]*$"

# ---- status lines go to standard error; -q silences them, never warnings or errors
run 0 profile export run.vxprof -o samples.csv
empty out
python 'assert open("err").read() == "samples.csv: 3386 samples\n", open("err").read()'
for command in "${commands[@]}"; do
    # shellcheck disable=SC2086
    run 0 $command -o quiet.out -q
    empty err
    empty out
    # shellcheck disable=SC2086
    run 0 -q $command -o quiet.out
    empty err
done
run 0 -q profile summary run.vxprof --from 1 --to 2
contains err "warning: no samples kept"
run 2 -q dump app.vxpkg -o app.vxpkg
contains err "is the same file as the input"

# ---- export takes its format from the file name unless --format says otherwise
run 0 profile export run.vxprof -o rows.ndjson
python 'import json; rows = [json.loads(l) for l in open("rows.ndjson")]; assert len(rows) == 3386 and rows[0]["tile"] == 0'
run 0 profile export run.vxprof -o rows.jsonl
same rows.ndjson rows.jsonl
run 0 profile export run.vxprof -o rows.csv
line_matches rows.csv "^tile,sample,local_index,"
run 0 profile export run.vxprof -o forced.ndjson --format csv
same rows.csv forced.ndjson
run 0 profile export run.vxprof -o -
line_matches out "^tile,sample,local_index,"

finish
