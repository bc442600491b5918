#!/usr/bin/env bash
# validate: one line per file, and the exit status.
source "$(dirname "$0")/lib.sh"
pack_samples
cp app.vxpkg second.vxpkg
head -c 200 app.vxpkg >truncated.vxpkg

run 0 validate app.vxpkg second.vxpkg
contains out "app.vxpkg: ok"
contains out "second.vxpkg: ok"
empty err

run 1 validate app.vxpkg truncated.vxpkg run.vxprof missing.vxpkg second.vxpkg
python '
assert open("out").read().splitlines() == ["app.vxpkg: ok", "second.vxpkg: ok"]
lines = open("err").read().splitlines()
size = __import__("os").path.getsize("app.vxpkg")
assert lines[0] == "vexa-package: truncated.vxpkg: the file is truncated: it holds 200 bytes of the %d its header announces" % size, lines
assert lines[1].startswith("vexa-package: truncated.vxpkg: Capnp("), lines
assert lines[2] == "vexa-package: run.vxprof: this is a profile report, not an application package; use \x27vexa-package profile summary\x27 or another profile command on it", lines
assert lines[3] == "vexa-package: run.vxprof: Invalid(\"incompatible package header\")", lines
assert lines[4] == "vexa-package: missing.vxpkg: cannot open: No such file or directory", lines
assert len(lines) == 5
'
# Both streams into one keep the order of the files.
"$TOOL" validate app.vxpkg run.vxprof second.vxpkg >both 2>&1 || true
python '
lines = open("both").read().splitlines()
assert lines == ["app.vxpkg: ok", "vexa-package: run.vxprof: this is a profile report, not an application package; use \x27vexa-package profile summary\x27 or another profile command on it",
                 "vexa-package: run.vxprof: Invalid(\"incompatible package header\")",
                 "second.vxpkg: ok"], lines
'

# Bytes after the package are named, not silently passed over.
cat app.vxpkg second.vxpkg >two.vxpkg
run 0 validate two.vxpkg
contains out "two.vxpkg: ok"
python '
import os
size = os.path.getsize("app.vxpkg")
assert open("err").read() == "vexa-package: two.vxpkg: warning: %d bytes after the package were not read: it holds more than one message\n" % size
'
printf x | cat app.vxpkg - >one_more.vxpkg
run 0 validate one_more.vxpkg
contains err "warning: 1 byte after the package was not read"

# A package that breaks a rule: the library's message, then the record that breaks it. The
# package is the sample with one configuration write's offset moved off a multiple of 4.
"$PYTHON" -c '
data = open("app.vxpkg", "rb").read()
write = (0x4018).to_bytes(4, "little") + (0x80000001).to_bytes(4, "little")
assert data.count(write) == 1, data.count(write)
moved = (0x4019).to_bytes(4, "little") + (0x80000001).to_bytes(4, "little")
open("misaligned.vxpkg", "wb").write(data.replace(write, moved))
'
for command in validate inspect dump; do
    run 1 $command misaligned.vxpkg
    python '
assert open("err").read().splitlines() == [
    "vexa-package: misaligned.vxpkg: Invalid(\"unaligned or duplicate device configuration write\")",
    "vexa-package: misaligned.vxpkg: device_config_writes[3]: offset 0x4019 is not a multiple of 4"], open("err").read()
'
done

run 0 validate - <app.vxpkg
contains out "standard input: ok"

run 2 validate
contains err "vexa-package: validate: PACKAGE is required"

finish
