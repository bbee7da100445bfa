#!/usr/bin/env bash
# demo.sh - a demonstration session: the scripted server runs the demo script
# and starts the client against it under Wine; the session's log, the client's
# debug and message logs and a screenshot land in out/demo-<timestamp>/, which
# is named on the last line of the output.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${QOV_BUILD_DIR:-$here/build/win32}
if [ ! -f "$build/qovtervex.exe" ] || [ ! -f "$build/qovserver.exe" ]; then
  bash "$here/scripts/build.sh" win32 >&2
fi
out=$here/out/demo-$(date +%Y%m%d-%H%M%S)
mkdir -p "$out"
source "$here/scripts/wine-env.sh"
trap qov_wine_cleanup EXIT
winpath() { echo "Z:$1" | tr / '\\'; }
# The client's debug log is written beside the program; a copy of the program
# in the output folder keeps every log of this run together.
cp "$build/qovtervex.exe" "$out/"
cd "$out"
set +e
wine "$build/qovserver.exe" --timeout 20 \
  --client "$(winpath "$out/qovtervex.exe") -deb -dmsgs=1 demo" \
  "$(winpath "$here/tests/server/scripts/demo.txt")" 2>&1 | tr -d '\r' | tee "$out/session.log"
rc=${PIPESTATUS[0]}
set -e
if command -v import >/dev/null 2>&1; then
  import -window root "$out/screenshot.png" 2>/dev/null || true
fi
rm -f "$out/qovtervex.exe"
echo "demo output: $out"
exit "$rc"
