#!/usr/bin/env bash
# run.sh - runs the benchmarks of a built tree (scripts/build.sh all): the image
# decoders on the host and under Wine, on generated pictures, on photographs
# from Debian's plasma-workspace-wallpapers (installed here when missing) and
# on a browser screenshot; the PDF writer, pictures, subsetting and page
# import on the host (against cairo, fontTools and libqpdf); then, under
# Wine, the form loader and saver, the automation calls, the windowless
# graphics, bars and picture paints, the session benchmark (start-up launched
# from inside Wine and from Unix, round trips, hiding and destroying labels,
# object creation, docked buttons by the thousand, its client and peer
# served by the host-side bench server
# started here), the printer file and the spool file (on the test
# printer), and the web view (through the wire against native objects, in the
# page host and on the screen; the page host started here, the wire part's
# client served by the host-side bench server). At the end, one
# summary table: a line per goal with min / median / max of its per-round
# ratios and whether the median meets it.
# Usage: bench/run.sh [image|pdf|forms|automation|graphics|session|startup|print|webview|screen ...]
# (all but startup, which session includes, and screen, when none is named)
# "taskset -c 0 bench/run.sh" runs everything on one CPU (Xvfb, the Wine
# server and the bench server included, which start here; the run prints the
# CPUs each may use); QOV_BENCH_ROUNDS sets the rounds of the
# benchmarks that take them from here, QOV_BENCH_SIZES the object counts of
# the creation benchmark. A failing benchmark is reported and the run goes on.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
host=$here/build/host/bench
win=$here/build/win32
what=${*:-image pdf forms automation graphics session print webview}
rounds=${QOV_BENCH_ROUNDS:-15}
echo "CPUs: $(nproc)"

# The real material: photographs whose rows a real encoder filtered (mostly
# Paeth, with Sub and Average), and a browser's screenshot of a generated page.
photos=()
material() {
  source "$here/scripts/setup.d/lib.sh"
  install_missing_packages plasma-workspace-wallpapers
  local w=/usr/share/wallpapers f
  for f in Altai/contents/images/5120x2880.png Patak/contents/images/5120x2880.png \
           MilkyWay/contents/images/5120x2880.png Canopee/contents/images/3840x2160.png; do
    [ -f "$w/$f" ] && photos+=("$w/$f")
  done
  if command -v chromium >/dev/null; then
    local page=$tmp/page.html shot=$tmp/screenshot.png
    {
      echo '<html><body style="font-family:sans-serif;background:linear-gradient(#fff,#dde)">'
      for i in $(seq 40); do
        echo "<h2>Section $i</h2><p>Orders, customers and invoices of region $i, with totals per quarter.</p>"
        echo "<table border=1><tr><td>Q1</td><td>$((i * 131))</td><td style=background:#$((i * 3 % 10))8c</td></tr></table>"
      done
      echo '</body></html>'
    } > "$page"
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1920,4000 \
      --screenshot="$shot" "file://$page" >/dev/null 2>&1 || true
    [ -s "$shot" ] && photos+=("$shot")
  fi
  return 0
}

tmp=$(mktemp -d)
wine_ready=
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ -n "$wine_ready" ]; then qov_wine_cleanup; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
# The CPUs a process started here may use.
cpus_of() { taskset -cp "$2" 2>/dev/null | sed "s/.*: /$1 runs on CPUs /"; }
wine_env() {
  [ -n "$wine_ready" ] && return
  source "$here/scripts/wine-env.sh"
  wine_ready=1
  # The set-up starts one Wine server for the whole run, from this script, so
  # it takes this script's CPUs.
  local p
  for p in $(pgrep -u "$(id -u)" wineserver); do
    { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && cpus_of "Wine server" "$p"
  done
  [ -n "${QOV_XVFB_PID:-}" ] && cpus_of Xvfb "$QOV_XVFB_PID"
  return 0
}
# The host-side bench server (bench/session_server, a Linux program) that the
# wire benchmarks' client and peer under Wine connect to; started once, when a
# section needs it, ended with the run. QOV_BENCH_SERVER names its control port.
bench_server() {
  [ -n "$server_pid" ] && return
  "$host/session_server" "$tmp/server.port" </dev/null &
  server_pid=$!
  for _ in $(seq 300); do
    [ -s "$tmp/server.port" ] && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  QOV_BENCH_SERVER=$(cat "$tmp/server.port" 2>/dev/null || true)
  export QOV_BENCH_SERVER
  cpus_of "bench server" "$server_pid"
}

# The summary: every benchmark appends a line per goal (name, min, median,
# max, goal, met/missed, both sides' median times and their unit,
# tab-separated; see BenchSummaryLine in benchkit.h)
# to the file QOV_BENCH_SUMMARY names, under a line "== section" written here;
# a benchmark that fails adds a line "FAILED ...".
summary=$tmp/summary.tsv
: > "$summary"
section() {
  echo "== $1"
  printf '== %s\n' "$1" >> "$summary"
}
# Runs one benchmark (a host program, or "wine" and a Windows one); a failure
# is noted in the summary and the run goes on.
bench() {
  local where=$summary rc=0
  [ "$1" = wine ] || [ "$1" = wine_pagehost ] && where="Z:$summary"
  QOV_BENCH_SUMMARY=$where "$@" || rc=$?
  if [ "$rc" != 0 ]; then
    echo "FAILED (exit $rc): $*"
    printf 'FAILED (exit %s): %s\n' "$rc" "$*" >> "$summary"
  fi
}

# A Windows program under Wine beside a page host of its own.
wine_pagehost() { bash "$here/tests/webview/run-with-pagehost.sh" "$@"; }

for w in $what; do
  case $w in
  image)
    material
    section "image decoders, host"
    bench "$host/image_bench" --rounds "$rounds" "${photos[@]}"
    wine_env
    section "image decoders, Windows build under Wine"
    bench wine "$win/bench/image_bench.exe" --rounds "$rounds" "${photos[@]}"
    ;;
  pdf)
    # The host benchmarks write their files into the current directory.
    section "PDF writer, pictures, subsetting and page import, host"
    (cd "$tmp" && bench "$host/pdf_bench" 200 "$rounds" && bench "$host/pdfimage_bench" 10 "$rounds" &&
      bench "$host/pdfsubset_bench" "$rounds" && bench "$host/pdfimport_bench" "$rounds")
    ;;
  forms)
    wine_env
    section "form loading and saving under Wine"
    bench wine "$win/bench/forms_bench.exe"
    bench wine "$win/bench/forms_save_bench.exe" "$rounds"
    ;;
  automation)
    wine_env
    section "automation calls under Wine"
    bench wine "$win/bench/automation_bench.exe" "$rounds"
    ;;
  graphics)
    wine_env
    section "windowless graphics, bars and pictures under Wine"
    bench wine "$win/graphics_bench.exe" "$rounds"
    bench wine "$win/bars_bench.exe" "$rounds"
    bench wine "$win/pict_bench.exe" "$rounds"
    ;;
  session)
    wine_env
    bench_server
    section "session under Wine"
    bench wine "$win/bench/session_bench.exe" "Z:$win/qovtervex.exe" "Z:$win/bench/bench_peer.exe" \
      --rounds "$rounds" --sizes "${QOV_BENCH_SIZES:-100,1000,5000}" --unix-wine "Z:$(command -v wine)"
    ;;
  startup)
    # The start-up lines of the session benchmark alone.
    wine_env
    bench_server
    section "start-up under Wine"
    bench wine "$win/bench/session_bench.exe" "Z:$win/qovtervex.exe" "Z:$win/bench/bench_peer.exe" \
      --rounds "$rounds" --only startup --unix-wine "Z:$(command -v wine)"
    ;;
  print)
    wine_env
    section "printer file and spool file under Wine"
    (cd "$tmp" && bench wine "$win/bench/prtfile_bench.exe" 10 "$rounds")
    sh "$here/tests/print/setup_printer.sh" "$win/tests/print/qovprtsetup.exe" "$tmp/printer" >/dev/null
    (cd "$tmp" && bench wine "$win/bench/spool_bench.exe" --rounds "$rounds")
    ;;
  webview)
    wine_env
    bench_server
    section "web view under Wine"
    # The page host opens a DevTools port for the web read's floor (floor.js).
    (cd "$win" && QOV_PAGEHOST_FLOOR=1 bench wine_pagehost ./webview_bench.exe "Z:$win/qovtervex.exe")
    ;;
  screen)
    # Natively, no Wine: the page host's pictures and posts against the host of
    # a reference commit (QOV_SCREEN_REFERENCE), side by side.
    section "the page host's screen while posts change the page, against a reference host"
    node "$here/bench/pagehost_screen.js"
    ;;
  esac
done

# One table of every goal measured above.
echo
echo "== summary ($(nproc) CPUs available, $rounds rounds where set here)"
awk -F '\t' '
  /^== / { print; next }
  /^FAILED/ { print "  " $0; next }
  { printf "  %-40s min %6s  median %6s  max %6s   goal %5s  %-6s", $1, $2, $3, $4, $5, $6
    if ($9 != "") printf "  %s %s against %s %s", $7, $9, $8, $9
    printf "\n" }
' "$summary"
