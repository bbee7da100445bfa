#!/usr/bin/env bash
# twin.sh SERVER CLIENT SCRIPT [web] - runs one scripted-server scene twice under
# Wine: in the web view (WEBMODE 2, the client's default runtime starting the
# page host, page steps run) and natively (WEBMODE 0, page steps skipped, the
# "# click:" lines clicked by ctlclick); both must pass and their transcripts
# (what each expect received, captured values by name, and the Width and
# Height each window created answers in its own units) must be the same.
# With "web" the scene is the web view's alone (it clicks in the page) and
# runs once, in the web view. A scene driven by the user's input in both runs
# (SendInput "mouse", "wheel" and "keys" steps) gives each run the points
# that differ: "# define-0: NAME=N ..." lines for the native run, "# define-2:"
# for the web view's (which mostly reads them from the page by "page-box").
# Where the twins differ by design the scene says so: "native STEP" and "web
# STEP" run in one run only and stay out of the transcript, and a
# "difference NAME "TEXT"" step names the difference in both transcripts;
# TEXT must be found (blanks and line breaks alike) in docs/protocol.md.
# QOV_TWIN_KEEP=DIR keeps each run's transcript there as SCENE.MODE.txt, so
# two builds' transcripts can be compared scene by scene.
# Each run starts its own copy of the program, so the client's debug log
# (named after the program) is the run's own, and the page host it starts
# writes its trace (QOV_PAGEHOST_TRACE) beside the run's other files; a run
# that fails keeps both, with the server's output, in
# failed/SCENE.MODE.PID under the test's folder (or QOV_TWIN_FAILED), and
# prints the end of the client's log.
set -euo pipefail
server=$1 client=$2 script=$3 only=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build=$(dirname "$client")
failed_root=${QOV_TWIN_FAILED:-$PWD/failed}
kLogTailLines=60
# The page host writes its trace as it ends, some seconds after its last view
# closed: a failed run waits this long for it.
kTraceWaitSeconds=30
# Files the scene's server sends (its "file" fields), listed in
# QOV_SCENE_FILES, go where the server runs.
for f in ${QOV_SCENE_FILES:-}; do cp "$f" "$work/"; done
winpath() { echo "Z:$1" | tr / '\\'; }
# The native run of a scene whose script names buttons to click ("# click:"
# lines) goes through ctlclick, which starts the server and clicks them.
ctlclick=$(dirname "$server")/ctlclick.exe
# The program beside its page files and the test libraries it loads.
program_copy() {
  local dir=$work/program-$1 f
  mkdir -p "$dir"
  cp "$client" "$dir/"
  for f in "$build"/*.dll; do [ -e "$f" ] && cp "$f" "$dir/"; done
  cp -r "$build/qovwv_html" "$dir/"
  cp -R "$build/qovwv_host" "$dir/"
  echo "$dir/$(basename "$client")"
}
# A failed run's logs are kept; the program copy is not.
keep_failed_run() {
  local mode=$1 dir end=$((SECONDS + kTraceWaitSeconds))
  dir=$failed_root/$(basename "$script" .txt).$mode.$$
  mkdir -p "$dir"
  if [ "$mode" != 0 ]; then
    until [ -s "$work/$mode.pagehost-trace.txt" ] || [ $SECONDS -ge $end ]; do sleep 0.5; done
    [ -s "$work/$mode.pagehost-trace.txt" ] || echo "the page host wrote no trace within $kTraceWaitSeconds s"
  fi
  cp "$work/$mode".* "$dir/" 2>/dev/null || true
  cp "$work/program-$mode"/*.log "$dir/" 2>/dev/null || true
  echo "the run's logs are kept in $dir; the end of the client's log:"
  tr -d '\r' <"$work/program-$mode/$(basename "$client" .exe).log" 2>/dev/null | tail -n "$kLogTailLines" || true
}
run() {
  local mode=$1; shift
  local rc=0
  local program; program=$(program_copy "$mode")
  local start=(wine "$server")
  if [ "$mode" = 0 ] && grep -q '^# click:' "$script"; then
    start=(wine "$ctlclick" "$(winpath "$script")" "$(winpath "$server")")
  fi
  local defines=(--define WEBMODE="$mode") d
  for d in $(sed -n "s/^# define-$mode: //p" "$script"); do defines+=(--define "$d"); done
  unset QOVCS_WVRUNTIME QOVCS_WVHOSTPORT
  (cd "$work" && QOV_PAGEHOST_TRACE="$work/$mode.pagehost-trace.txt" "${start[@]}" --timeout 30 "${defines[@]}" \
      --transcript "$(winpath "$work/$mode.txt")" "$@" \
      --client "$(winpath "$program") -deb twin" "$(winpath "$script")") >"$work/$mode.log" 2>&1 || rc=$?
  tr -d '\r' <"$work/$mode.log"
  if [ -n "${QOV_TWIN_KEEP:-}" ] && [ -f "$work/$mode.txt" ]; then
    mkdir -p "$QOV_TWIN_KEEP" && cp "$work/$mode.txt" "$QOV_TWIN_KEEP/$(basename "$script" .txt).$mode.txt"
  fi
  if [ "$rc" -ne 0 ] || grep -q FAIL "$work/$mode.log"; then
    keep_failed_run "$mode"
    echo "the run with WEBMODE $mode failed"; return 1
  fi
  # A scene whose run leaves files to check names the check in QOV_TWIN_AFTER,
  # called with the run's folder and its WEBMODE (the scene in QOV_TWIN_SCRIPT).
  if [ -n "${QOV_TWIN_AFTER:-}" ] && ! QOV_TWIN_SCRIPT=$script $QOV_TWIN_AFTER "$work" "$mode"; then
    keep_failed_run "$mode"
    echo "FAIL: the check after the run with WEBMODE $mode"; return 1
  fi
}
# Every named difference is one that docs/protocol.md writes down.
docs=$(dirname "$0")/../../docs/protocol.md
flat() { tr '\n' ' ' | tr -s ' '; }
documented=$(flat <"$docs")
while IFS= read -r said; do
  if [[ "$documented" != *"$(printf '%s' "$said" | flat)"* ]]; then
    echo "FAIL: a difference the scene names is not in docs/protocol.md: $said"; exit 1
  fi
done < <(sed -n 's/^difference [^ ]* "\(.*\)"$/\1/p' "$script")
run 2
if [ "$only" = web ]; then echo "web view scene passed"; exit 0; fi
run 0 --skip-page-steps
if ! diff -u "$work/0.txt" "$work/2.txt"; then
  echo "FAIL: the web view and the native run differ"; exit 1
fi
echo "twins agree: $(wc -l <"$work/2.txt") answers"
