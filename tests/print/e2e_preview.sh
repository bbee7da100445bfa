#!/bin/sh
# e2e_preview.sh - the preview end to end: e2e_print.sh runs the script and
# reads the printed pages back, then the screenshots the script took are
# checked for each page's sheet and box.
#
# Usage: e2e_preview.sh SERVER.exe CLIENT.exe SCRIPT CAPTURE-DIR OUTDIR PORT:FILE...
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$5
sh "$here/e2e_print.sh" "$@"
python3 "$here/check_preview_shots.py" "$out"
