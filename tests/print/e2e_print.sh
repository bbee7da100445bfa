#!/bin/sh
# e2e_print.sh - print jobs end to end: the scripted server drives the real
# client through SCRIPT on the test printers of the run's prefix, then the
# pages captured from the printers' ports are read back by check_output.py
# against expectation files: PORT:FILE takes the last job printed on PORT
# (lpt1, lpt2) and checks it against FILE (NAME.expect); written:FILE checks
# the PDF file NAME.pdf the client wrote into OUTDIR; log:FILE runs a copy of
# the client in OUTDIR with its debug log on, and every line of FILE must be
# found in that log (qovtervex.log); make:SCRIPT runs the Python SCRIPT in
# OUTDIR before the session, to write the files the scene reads.
#
# Usage: e2e_print.sh SERVER.exe CLIENT.exe SCRIPT CAPTURE-DIR OUTDIR PORT:FILE...
set -eu
server=$1
client=$2
script=$3
capture=$4
out=$5
shift 5
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?the test printers live in the run's WINEPREFIX}"
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

rm -rf "$out"
mkdir -p "$out"
# The client's ini in its working folder: the TrueType faces of PDF files.
cp "$here/pdffonts.ini" "$out/qovtervex.ini"
rm -f "$capture/capture-lpt1.ps" "$capture/capture-lpt2.ps"
cd "$out"
logs=""
for pair in "$@"; do
  [ "${pair%%:*}" = log ] && logs="$logs ${pair#*:}"
  [ "${pair%%:*}" = make ] && python3 "${pair#*:}"
done
run="$(winpath "$client") printing"
if [ -n "$logs" ]; then
  cp "$client" "$out/qovtervex.exe"
  run="$(winpath "$out/qovtervex.exe") -deb printing"
fi
wine "$server" --timeout 60 --client "$run" "$(winpath "$script")" 2>&1 | tr -d '\r' |
  tee session.log
grep -q FAIL session.log && exit 1
grep -q PASS session.log || exit 1
for file in $logs; do
  while IFS= read -r line; do
    if ! tr -d '\r' <qovtervex.log | grep -qF -- "$line"; then
      echo "FAIL: the client's debug log lacks: $line"
      exit 1
    fi
  done <"$file"
done

for pair in "$@"; do
  port=${pair%%:*}
  [ "$port" = log ] || [ "$port" = make ] && continue
  file=${pair#*:}
  name=$(basename "$file" .expect)
  [ "$port" = written ] || cp "$capture/capture-$port.ps" "$name.ps"
  cp "$file" "$name.expect"
done
[ $# -eq 0 ] || python3 "$here/check_output.py" "$out"
