#!/usr/bin/env bash
# --log-level prints the library's events on standard error; --version and --help.
source "$(dirname "$0")/lib.sh"
pack_samples

run 0 inspect app.vxpkg
empty err
run 0 --log-level info inspect app.vxpkg
contains err "vexa-package: INFO vexa_package: reading application package"
contains err 'vexa-package: INFO vexa_package: application package read tiles=6 compiler="vexc 4.2.1 (vexa21, -O2, 2026-11-30)"'
lacks err "TRACE"
run 0 --log-level info pack "$EXAMPLES/sample_application.json" -o again.vxpkg
contains err "vexa-package: INFO vexa_package: writing application package tiles=6"
contains err "vexa-package: INFO vexa_package: application package written"
run 0 image app.vxpkg --tile 3 -o tile.bin --log-level trace
contains err 'vexa-package: TRACE vexa_package: reconstructing tile image physical_tile=3 load_base="0x4c000" image_bytes=81920'
run 0 --log-level warn -q image app.vxpkg --tile 3 -o tile.bin
empty err
run 0 --log-level error validate app.vxpkg
empty err

run 0 --version
line_matches out '^vexa-package [0-9]+\.[0-9]+\.[0-9]+$'
run 0 --help
for command in inspect validate dump pack image profile; do
    contains out "$command"
done
run 0 profile trace --help
contains out "protobuf or Chrome JSON"
contains out "one device timeline that all tiles share"
contains out "exact while those distances stay below 2^31 cycles"
contains out "clock_hz 0"
run 0 dump --help
contains out "base64"
contains out "2^64-1"
run 0 profile svg --help
contains out "merged"

finish
