#!/bin/sh
# e2e_print.sh - print jobs end to end: the scripted server drives the real
# client through SCRIPT on the test printers of the run's prefix, then the
# pages captured from LPT1: and LPT2: are read back by check_output.py.
#
# Usage: e2e_print.sh SERVER.exe CLIENT.exe SCRIPT CAPTURE-DIR OUTDIR
set -eu
server=$1
client=$2
script=$3
capture=$4
out=$5
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?the test printers live in the run's WINEPREFIX}"
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

rm -rf "$out"
mkdir -p "$out"
rm -f "$capture/capture-lpt1.ps" "$capture/capture-lpt2.ps"
cd "$out"
wine "$server" --timeout 60 --client "$(winpath "$client") printing" "$(winpath "$script")" 2>&1 | tr -d '\r' |
  tee session.log
grep -q FAIL session.log && exit 1

# Device pixels at 600 dpi from the imageable area's corner, 18 points in:
# 1200 pixels are (1200 + 150) x 72 / 600 = 162 points from the paper's edge.
# The LPT1: capture holds the last job printed there: the "-" job, two pages
# in Helvetica 14 bold (its cells about 16 points high); "PAGE TWO" starts
# the second page at the origin, the imageable area's corner.
cp "$capture/capture-lpt1.ps" e2e_default.ps
cat > e2e_default.expect <<EOF
word DEFAULTJOB 0 162 162 178
word PAGE 0 18 18 34
page 1 612 792
page 2 612 792
EOF
cp "$capture/capture-lpt2.ps" e2e_a4.ps
cat > e2e_a4.expect <<EOF
word A4PAGE 0 162 162 176
page 1 595 842
EOF
python3 "$here/check_output.py" "$out"
