#!/usr/bin/env bash
# test-under-load.sh - a developer's tool (not run by test.sh or CI): runs the
# Wine tests of build/win32 while a bounded CPU load runs beside them, and
# reports every test that fails or takes more than twice its quiet time. A
# test that only passes on an idle machine waits a fixed time somewhere; this
# run shows which.
#
# Usage: scripts/test-under-load.sh [-R REGEX] [-E REGEX] [-j JOBS] [--load N]
#                                   [--reference FILE] [--runs N]
#   -R / -E   which tests (ctest's include and exclude patterns; default: all)
#   -j        ctest's parallel jobs (default 3)
#   --load N  busy processes beside the run (default: one per core); each
#             spins until the run ends and is then stopped
#   --reference FILE  the quiet times of an earlier run of this script (its
#             quiet.times); without it the same tests first run without load
#   --runs N  load runs one after another (default 1); each is judged
# Exit status 0 when nothing failed and nothing took more than twice its
# quiet time, 1 otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build/win32
include="" exclude="" jobs=3 load=$(nproc) reference="" runs=1
while [ $# -gt 0 ]; do
  case $1 in
    -R) include=$2; shift 2 ;;
    -E) exclude=$2; shift 2 ;;
    -j) jobs=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --reference) reference=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "usage: $0 [-R REGEX] [-E REGEX] [-j JOBS] [--load N] [--reference FILE] [--runs N]" >&2; exit 2 ;;
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
  (cd "$build" && ctest "${filter[@]}" -j "$jobs" --timeout 600 --output-on-failure >"$1.log" 2>&1) || true
  sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) \.*[* ]*(.*[^ ])? +([0-9.]+) sec$/\1 \3 \2/p' \
    "$1.log" | awk '{ name = $1; secs = $2; $1 = ""; $2 = ""; sub(/^ +/, ""); print name, secs, ($0 == "Passed" ? "Passed" : "Failed") }' \
    >"$1.times"
  # A failure whose reason spans lines ("Required regular expression not
  # found") has no summary line of its own: ctest's closing list names it.
  sed -nE 's/^[[:space:]]+[0-9]+ - ([^ ]+) \(.*\)$/\1/p' "$1.log" | while read -r name; do
    grep -q "^$name " "$1.times" || echo "$name 0 Failed" >>"$1.times"
  done
}

if [ -n "$reference" ]; then
  cp "$reference" "$out/quiet.times"
else
  echo "quiet run ..."
  run_tests "$out/quiet"
fi

status=0
for run in $(seq "$runs"); do
  echo "load run $run: $load busy processes beside ctest -j $jobs ..."
  for _ in $(seq "$load"); do
    sh -c 'while :; do :; done' &
    busy+=($!)
  done
  run_tests "$out/load$run"
  stop_load
  while read -r name secs result; do
    quiet_secs=$(awk -v n="$name" '$1 == n { print $2 }' "$out/quiet.times")
    if [ "$result" != Passed ]; then
      echo "FAILED  $name (${secs} s under load)"
      status=1
    elif [ -n "$quiet_secs" ] && awk -v l="$secs" -v q="$quiet_secs" -v f="$slow_factor" -v m="$min_judged" \
         'BEGIN { exit !(q >= m && l > f * q) }'; then
      echo "SLOW    $name (${secs} s under load, ${quiet_secs} s quiet)"
      status=1
    elif [ -z "$quiet_secs" ]; then
      # A test newer than the reference cannot be judged by time: said, so a
      # stale reference shows.
      echo "NO REF  $name (${secs} s under load, no quiet time in the reference)"
    fi
  done <"$out/load$run.times"
  echo "run $run: $(wc -l <"$out/load$run.times") tests under load"
done
echo "logs and times in $out (quiet.times serves as --reference later)"
[ "$status" = 0 ] && echo "PASS: nothing failed, nothing took more than ${slow_factor}x its quiet time"
exit $status
