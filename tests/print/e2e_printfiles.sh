#!/bin/sh
# e2e_printfiles.sh - the printer files scene end to end: the prefix's LPT3 is
# pointed at a file of the output folder for the run (and back at /dev/null
# afterwards), e2e_print.sh runs the scene and checks the receipt printed on
# LPT2, and the label written raw to LPT3 must hold exactly the bytes of the
# script's 2213 messages for it.
#
# Usage: e2e_printfiles.sh SERVER.exe CLIENT.exe SCRIPT CAPTURE-DIR OUTDIR PORT:FILE...
set -eu
script=$3
out=$5
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?the test printers live in the run's WINEPREFIX}"
label=$(dirname "$out")/$(basename "$out")-label.prn
: > "$label"
ln -sfn "$label" "$WINEPREFIX/dosdevices/lpt3"
rc=0
sh "$here/e2e_print.sh" "$@" || rc=$?
ln -sfn /dev/null "$WINEPREFIX/dosdevices/lpt3"
[ $rc -eq 0 ] || exit $rc
python3 - "$script" "$label" <<'PY'
import re, sys
want = b""
for line in open(sys.argv[1]):
    if line.startswith("send 2213 u32 $lbl"):
        m = re.search(r'text "(.*)"', line)
        want += m.group(1).encode() if m else bytes.fromhex(line.split(" hex ")[1].strip())
got = open(sys.argv[2], "rb").read()
if got != want:
    print("FAIL label: expected %r, got %r" % (want, got))
    sys.exit(1)
print("label: %d bytes exact" % len(got))
PY
