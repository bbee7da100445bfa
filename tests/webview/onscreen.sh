#!/usr/bin/env bash
# onscreen.sh SERVER CLIENT SCRIPTS - the page on the user's screen: the input
# scene (webview-input.txt: clicks and keys by SendInput only) runs under Wine;
# then the screen as it took it, cropped to the host window's client area
# (found by the page's top left corner), must equal the page's own picture
# pixel for pixel: the view paints the page 1:1 from lossless pictures.
set -euo pipefail
source "$(dirname "$0")/scenelib.sh" "$@"
magick_compare=${QOV_MAGICK_COMPARE:-compare}

dir=$(scene input webview-input.txt)
screen=$dir/webview-input-screen.bmp page=$dir/webview-input-page.png
[ -f "$screen" ] && [ -f "$page" ] || fail "the scene left no screenshots"
size=$(identify -format '%wx%h' "$page")
# The client area's origin: where the page's top left 40 x 40 sits on the screen.
convert "$screen" -crop 240x240+0+0 +repage "$work/corner.png"
convert "$page" -crop 40x40+0+0 +repage "$work/pagecorner.png"
found=$("$magick_compare" -metric AE -subimage-search "$work/corner.png" "$work/pagecorner.png" null: 2>&1 || true)
case "$found" in "0 @ "*) ;; *) fail "the page's corner is not on the screen ($found)";; esac
origin=${found#0 @ }
convert "$screen" -crop "${size}+${origin/,/+}" +repage "$work/client.png"
diff=$("$magick_compare" -metric AE "$work/client.png" "$page" null: 2>&1 || true)
[ "$diff" = 0 ] || fail "the screen differs from the page in $diff pixels (client area at $origin)"
echo "on screen: the client area at $origin equals the page ($size)"
