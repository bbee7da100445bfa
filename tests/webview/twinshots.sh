#!/usr/bin/env bash
# twinshots.sh RUNDIR WEBMODE - the check after each run of a twin scene that
# takes screenshot pairs (twin.sh calls it as QOV_TWIN_AFTER). After the
# native run (WEBMODE 0), each pair NAME-web.png / NAME-native.bmp that the
# scene's twin-screenshot steps left in RUNDIR is compared control by control
# (shotpair.sh), after the two pictures are found of one size (the window's
# client area on the screen and the page's window). The crops are the controls' own rectangles as the client
# answered them: the scene captures Left, Top, Width and Height of each control
# CTRL as $crop_CTRL_left, _top, _width and _height (in pixels: the twin
# windows use Units 5 and are not the web view's first window, whose children
# would sit in character cells), both runs must have answered the same, and
# each picture starts at its window's client origin. A line "# shot-text: CTRL
# TEXT" in the scene (QOV_TWIN_SCRIPT, set by twin.sh) names the text control
# CTRL shows, whose face is then scored too; a line "# shot-right: CTRL N"
# crops CTRL to its right N pixels instead (where a scroll bar stands).
# QOV_SHOT_EXPECT_OVER=CTRL: the web run had a fault planted in CTRL, whose
# comparison must then fail (shotpair.sh --expect-over).
set -euo pipefail
dir=$1 mode=$2
[ "$mode" = 0 ] || exit 0
here=$(cd "$(dirname "$0")" && pwd)
# "CTRL LEFT TOP WIDTH HEIGHT" in pixels, one line per control, from a run's log.
cells_of() {
  tr -d '\r' <"$1" | sed -n 's/^ *\$crop_\(.*\)_\(left\|top\|width\|height\) = \([0-9]*\) .*/\1 \2 \3/p' |
    awk '{ v[$1, $2] = $3; if (!($1 in seen)) { seen[$1] = 1; order[n++] = $1 } }
         END { for (i = 0; i < n; i++) { c = order[i]
               print c, v[c, "left"], v[c, "top"], v[c, "width"], v[c, "height"] } }'
}

expect_over=()
[ -n "${QOV_SHOT_EXPECT_OVER:-}" ] && expect_over=(--expect-over "$QOV_SHOT_EXPECT_OVER")

# The pair "closebox" shows a dialog whole in both runs (twin-screenshot ...
# frame), compared at its close box alone (crop "close"): natively the
# caption's button, 16 x 14 pixels, kCloseRight pixels in from the window's
# right edge and kCloseTop down from its top (Wine's default metrics); in the
# page the close button where the page answered it ($close) in its dialog
# ($dlg). The crop takes 2 pixels of caption round the native button.
readonly kCloseRight=21 kCloseTop=5 kCloseWidth=16 kCloseHeight=14 kCloseMargin=2
page_box() { tr -d '\r' <"$dir/2.log" | sed -n "s/^P> \\\$$1: \([0-9-]*\),\([0-9-]*\) to \([0-9-]*\),\([0-9-]*\) in the page/\1 \2 \3 \4/p" | tail -n 1; }
if [ -f "$dir/closebox-web.png" ]; then
  [ -f "$dir/closebox-native.bmp" ] || { echo "FAIL: closebox has no native picture"; exit 1; }
  read -r dl dt _ _ < <(page_box dlg) || true
  read -r cl ct cr cb < <(page_box close) || true
  [ -n "${cb:-}" ] || { echo "FAIL: the web run answered no boxes for \$dlg and \$close"; exit 1; }
  read -r nw _ < <(identify -format '%w %h\n' "$dir/closebox-native.bmp")
  nx=$((nw - kCloseRight)) ny=$kCloseTop
  echo "close $((nx - kCloseMargin)) $((ny - kCloseMargin)) $((kCloseWidth + 2 * kCloseMargin)) $((kCloseHeight + 2 * kCloseMargin))" \
    >"$dir/closecrop.txt"
  # The web picture moved so that the two buttons' centres meet.
  dx=$(((cl + cr) / 2 - dl - (nx + kCloseWidth / 2))) dy=$(((ct + cb) / 2 - dt - (ny + kCloseHeight / 2)))
  echo "screenshot pair closebox (outline DSSIM of the close box):"
  bash "$here/shotpair.sh" "$dir/closebox-native.bmp" "$dir/closebox-web.png" "$dir/closecrop.txt" \
    --web-offset "$dx,$dy" "${expect_over[@]}" || { echo "FAIL: the pair closebox compares as it should not"; exit 1; }
  rm -f "$dir/closebox-web.png"
  ls "$dir"/*-web.png >/dev/null 2>&1 || exit 0
fi

native_cells=$(cells_of "$dir/0.log")
web_cells=$(cells_of "$dir/2.log")
[ -n "$native_cells" ] || { echo "FAIL: the scene captured no crop rectangles"; exit 1; }
if [ "$native_cells" != "$web_cells" ]; then
  echo "FAIL: the runs answered other rectangles:"; diff <(echo "$native_cells") <(echo "$web_cells") || true; exit 1
fi
# "CTRL TEXT" per line, from the scene's "# shot-text:" lines.
texts=$(tr -d '\r' <"${QOV_TWIN_SCRIPT:-/dev/null}" | sed -n 's/^# shot-text: *//p')
# "CTRL N" per line, from the scene's "# shot-right:" lines.
rights=$(tr -d '\r' <"${QOV_TWIN_SCRIPT:-/dev/null}" | sed -n 's/^# shot-right: *//p')
echo "$native_cells" | awk -v texts="$texts" -v rights="$rights" \
  'BEGIN { n = split(texts, t, "\n"); for (i = 1; i <= n; i++) { c = t[i]; sub(/ .*/, "", c); s = t[i]; sub(/^[^ ]* /, "", s); text[c] = s }
           n = split(rights, r, "\n"); for (i = 1; i <= n; i++) { split(r[i], f, " "); right[f[1]] = f[2] } }
   $1 in right { print $1 "-right", $2 + $4 - right[$1], $3, right[$1], $5; next }
   { print $1, $2, $3, $4, $5, text[$1] }' >"$dir/crops.txt"

shots=0
for web in "$dir"/*-web.png; do
  [ -e "$web" ] || continue
  name=${web%-web.png} shots=$((shots + 1))
  [ -f "$name-native.bmp" ] || { echo "FAIL: ${name##*/} has no native picture"; exit 1; }
  # The window's client area on the screen has the page window's size.
  read -r nw nh < <(identify -format '%w %h\n' "$name-native.bmp")
  read -r ww wh < <(identify -format '%w %h\n' "$web")
  if [ "$nw x $nh" != "$ww x $wh" ]; then
    echo "FAIL: ${name##*/}: the native client area is $nw x $nh pixels, the page's window $ww x $wh"; exit 1
  fi
  echo "client area ${name##*/}: $nw x $nh pixels in both runs"
  echo "screenshot pair ${name##*/} (outline DSSIM per control):"
  args=("${expect_over[@]}")
  bash "$here/shotpair.sh" "$name-native.bmp" "$web" "$dir/crops.txt" "${args[@]}" ||
    { echo "FAIL: the pair ${name##*/} compares as it should not"; exit 1; }
done
[ "$shots" -gt 0 ] || { echo "FAIL: the scene left no screenshot pairs"; exit 1; }
