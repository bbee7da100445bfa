#!/usr/bin/env bash
# demo.sh - a demonstration session: the scripted server runs the demo script
# and starts the client against it under Wine; the session's log, the client's
# debug and message logs and screenshots land in out/demo-<timestamp>/, which
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
# in each output folder keeps every log of a session together. Screenshots
# are taken by the scripts' "screenshot" steps while the windows are up.
cd "$out"
# The print scene prints on the test printer; its pages become a PDF file.
source "$here/scripts/demo-printer.sh"
qov_demo_printer "$build" "$out"
# One session per demo script, in order: the session basics first, then each
# facility's own scene (demo-*.txt). Each leaves its logs in a folder of its own.
rc=0
for script in "$here"/tests/server/scripts/demo.txt "$here"/tests/server/scripts/demo-*.txt; do
  [ -f "$script" ] || continue
  name=$(basename "$script" .txt)
  mkdir -p "$out/$name"
  cp "$build/qovtervex.exe" "$out/$name/"
  [ -d "$build/qovwv_html" ] && cp -r "$build/qovwv_html" "$out/$name/"
  # The page host beside the program: a scene with web-view windows has the
  # client start it (its default runtime when Node and Chromium are there).
  [ -d "$build/qovwv_host" ] && cp -R "$build/qovwv_host" "$out/$name/"
  cd "$out/$name"
  # A scene whose script names buttons to click ("# click:" lines) runs through
  # ctlclick, the test build's stand-in for a person, which starts the server
  # and clicks those buttons when they come up.
  server=(wine "$build/qovserver.exe")
  if grep -q '^# click:' "$script"; then
    [ -f "$build/ctlclick.exe" ] || cmake --build "$build" --target ctlclick >&2
    server=(wine "$build/ctlclick.exe" "$(winpath "$script")" "$(winpath "$build/qovserver.exe")")
  fi
  # The media scene plays clips and a sound made for it here; the sound is
  # captured by ALSA's file plugin (over its null device) into
  # sound-played.wav beside the screenshots, a WAV a person can listen to.
  scene_env=(env)
  # The picture scenes show images ImageMagick draws for them here.
  if [ "$name" = demo-pictures ] || [ "$name" = demo-pages ]; then
    sh "$here/tests/session/scenefiles.sh" .
  fi
  # The forms scene loads its form from a file beside the client.
  if [ "$name" = demo-forms ]; then
    [ -f "$build/tests/forms/formscript.exe" ] || cmake --build "$build" --target formscript >&2
    wine "$build/tests/forms/formscript.exe" files . >/dev/null
  fi
  if [ "$name" = demo-media ]; then
    [ -f "$build/tests/session/mediagen.exe" ] || cmake --build "$build" --target mediagen >&2
    wine "$build/tests/session/mediagen.exe" files . >/dev/null
    mkdir -p "$out/$name/sndhome"
    printf 'pcm.!default {\n  type file\n  slave.pcm "null"\n  file "%s"\n  format "wav"\n}\n' \
      "$out/$name/sound-played.wav" >"$out/$name/sndhome/.asoundrc"
    scene_env=(env HOME="$out/$name/sndhome")
  fi
  set +e
  "${scene_env[@]}" "${server[@]}" --timeout 30 \
    --client "$(winpath "$out/$name/qovtervex.exe") -deb -dmsgs=1 $name" \
    "$(winpath "$script")" 2>&1 | tr -d '\r' | tee "$out/$name/session.log"
  step=${PIPESTATUS[0]}
  set -e
  [ "$step" -eq 0 ] || rc=$step
  rm -rf "$out/$name/qovtervex.exe" "$out/$name/qovwv_html" "$out/$name/qovwv_host" "$out/$name/sndhome"
  cd "$out"
done
qov_demo_printer_pages "$out"
# Screenshots are taken as BMP by the server; PNG is what a viewer expects.
if command -v convert >/dev/null 2>&1; then
  for bmp in "$out"/*/*.bmp; do
    [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
fi
echo "demo output: $out"
exit "$rc"
