#!/bin/sh
# scene_log.sh - one scripted scene with the client's debug log on: a copy of
# the client in OUTDIR (the log is written beside the program) is driven by
# the scripted server through SCRIPT from the current folder, where the
# scene's files lie; the scene must pass and every TEXT must be found in the
# client's log (OUTDIR/qovtervex.log).
# Usage: scene_log.sh SERVER.exe CLIENT.exe SCRIPT OUTDIR TEXT...
set -eu
server=$1
client=$2
script=$3
out=$4
shift 4
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

rm -rf "$out"
mkdir -p "$out"
cp "$client" "$out/qovtervex.exe"
wine "$server" --timeout 20 --client "$(winpath "$out/qovtervex.exe") -deb orders.qoc first second" \
  "$(winpath "$script")" >"$out/session.log" 2>&1 || true
tr -d '\r' <"$out/session.log"
grep -q FAIL "$out/session.log" && exit 1
grep -q PASS "$out/session.log" || exit 1
for text in "$@"; do
  if ! tr -d '\r' <"$out/qovtervex.log" | grep -qF -- "$text"; then
    echo "FAIL: the client's debug log lacks: $text"
    exit 1
  fi
done
echo "the debug log holds every text asked for"
