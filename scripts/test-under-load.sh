#!/usr/bin/env bash
# test-under-load.sh - a developer's tool (not run by test.sh or CI): runs the
# Wine tests of build/win32 while a bounded CPU load runs beside them, and
# reports every test that fails or takes more than twice its quiet time. A
# test that only passes on an idle machine waits a fixed time somewhere; this
# run shows which.
#
# Usage: scripts/test-under-load.sh [-R REGEX] [-E REGEX] [-j JOBS] [--load N] [--quiet]
#   -R / -E   which tests (ctest's include and exclude patterns; default: all)
#   -j        ctest's parallel jobs (default 3)
#   --load N  busy processes beside the run (default: one per core); each
#             spins until the run ends and is then stopped
#   --quiet   first runs the same tests without the load, for their quiet
#             times; otherwise the times ctest kept from earlier runs
#             (Testing/Temporary/CTestCostData.txt) stand for them
# Exit status 0 when nothing failed and nothing took more than twice its
# quiet time, 1 otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build/win32
include="" exclude="" jobs=3 load=$(nproc) quiet=0
while [ $# -gt 0 ]; do
  case $1 in
    -R) include=$2; shift 2 ;;
    -E) exclude=$2; shift 2 ;;
    -j) jobs=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --quiet) quiet=1; shift ;;
    *) echo "usage: $0 [-R REGEX] [-E REGEX] [-j JOBS] [--load N] [--quiet]" >&2; exit 2 ;;
  esac
done
[ -d "$build" ] || { echo "no $build: build it first (scripts/build.sh win32)" >&2; exit 2; }
# A test slower than this many times its quiet time is reported.
slow_factor=2
# Tests quicker than this (seconds) when quiet are not judged by time: their
# start-up alone varies by more than their run.
min_judged=1

source "$here/scripts/wine-env.sh"
busy=()
stop_load() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null || true; done
  busy=()
}
cleanup() {
  stop_load
  qov_wine_cleanup
}
trap cleanup EXIT

filter=()
[ -n "$include" ] && filter+=(-R "$include")
[ -n "$exclude" ] && filter+=(-E "$exclude")
out=$(mktemp -d /tmp/qov-load.XXXXXX)

# "name seconds status" per test from ctest's summary lines.
run_tests() {
  (cd "$build" && ctest "${filter[@]}" -j "$jobs" --timeout 600 >"$1.log" 2>&1) || true
  sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) \.*[* ]*(.*[^ ])? +([0-9.]+) sec$/\1 \3 \2/p' \
    "$1.log" | awk '{ name = $1; secs = $2; $1 = ""; $2 = ""; sub(/^ +/, ""); print name, secs, ($0 == "Passed" ? "Passed" : "Failed") }' \
    >"$1.times"
}

if [ "$quiet" = 1 ]; then
  echo "quiet run ..."
  run_tests "$out/quiet"
  cp "$out/quiet.times" "$out/reference"
else
  # CTestCostData.txt: "name runs average-seconds" per line up to a "---" line.
  cost=$build/Testing/Temporary/CTestCostData.txt
  [ -f "$cost" ] || { echo "no quiet times kept yet: run with --quiet" >&2; exit 2; }
  sed '/^---/,$d' "$cost" | awk '{ print $1, $3, "Passed" }' >"$out/reference"
fi

echo "load run: $load busy processes beside ctest -j $jobs ..."
for _ in $(seq "$load"); do
  sh -c 'while :; do :; done' &
  busy+=($!)
done
run_tests "$out/load"
stop_load

status=0
while read -r name secs result; do
  quiet_secs=$(awk -v n="$name" '$1 == n { print $2 }' "$out/reference")
  if [ "$result" != Passed ]; then
    echo "FAILED  $name (${secs} s under load)"
    status=1
  elif [ -n "$quiet_secs" ] && awk -v l="$secs" -v q="$quiet_secs" -v f="$slow_factor" -v m="$min_judged" \
       'BEGIN { exit !(q >= m && l > f * q) }'; then
    echo "SLOW    $name (${secs} s under load, ${quiet_secs} s quiet)"
    status=1
  fi
done <"$out/load.times"
echo "$(wc -l <"$out/load.times") tests run under load; logs in $out"
[ "$status" = 0 ] && echo "PASS: nothing failed, nothing took more than ${slow_factor}x its quiet time"
exit $status
