#!/usr/bin/env bash
# run.sh - runs the benchmarks of a built tree (scripts/build.sh all): the image
# decoders on the host and under Wine, on generated pictures, on photographs
# from Debian's plasma-workspace-wallpapers (installed here when missing) and
# on a browser screenshot; then, under Wine, the form loader and saver, the
# automation calls, the session benchmark (start-up, round trips, object
# creation), the spool file benchmark (on the test printer) and the web view
# (through the wire against native objects, in the page host and on the screen).
# Usage: bench/run.sh [image|forms|automation|session|spool|webview ...]   (all when none is named)
# "taskset -c 0 bench/run.sh" runs everything on one CPU (Xvfb and the Wine
# server included, which start here); QOV_BENCH_ROUNDS sets the rounds,
# QOV_BENCH_SIZES the object counts of the creation benchmark.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
host=$here/build/host/bench
win=$here/build/win32
what=${*:-image forms automation session spool webview}
rounds=${QOV_BENCH_ROUNDS:-7}
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
trap 'rm -rf "$tmp"' EXIT
wine_ready=
wine_env() {
  [ -n "$wine_ready" ] && return
  source "$here/scripts/wine-env.sh"
  trap 'qov_wine_cleanup; rm -rf "$tmp"' EXIT
  wine_ready=1
}

for w in $what; do
  case $w in
  image)
    material
    echo "== image decoders, host"
    "$host/image_bench" --rounds "$rounds" "${photos[@]}"
    wine_env
    echo "== image decoders, Windows build under Wine"
    wine "$win/bench/image_bench.exe" --rounds "$rounds" "${photos[@]}"
    ;;
  forms)
    wine_env
    echo "== form loading and saving under Wine"
    wine "$win/bench/forms_bench.exe"
    wine "$win/bench/forms_save_bench.exe"
    ;;
  automation)
    wine_env
    echo "== automation calls under Wine"
    wine "$win/bench/automation_bench.exe"
    ;;
  session)
    wine_env
    echo "== session under Wine"
    wine "$win/bench/session_bench.exe" "Z:$win/qovtervex.exe" "Z:$win/bench/bench_peer.exe" \
      --rounds "$rounds" --sizes "${QOV_BENCH_SIZES:-100,1000,5000}"
    ;;
  spool)
    wine_env
    echo "== spool file under Wine"
    sh "$here/tests/print/setup_printer.sh" "$win/tests/print/qovprtsetup.exe" "$tmp/printer" >/dev/null
    (cd "$tmp" && wine "$win/bench/spool_bench.exe" --rounds "$rounds")
    ;;
  webview)
    wine_env
    echo "== web view under Wine (the page host started here)"
    (cd "$win" && bash "$here/tests/webview/run-with-pagehost.sh" ./webview_bench.exe "Z:$win/qovtervex.exe")
    ;;
  esac
done
