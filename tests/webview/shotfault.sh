#!/usr/bin/env bash
# shotfault.sh SERVER CLIENT SCRIPT CTRL "JS" - proves the screenshot pairs:
# runs a twin scene that takes them (twin.sh, both runs) with a fault planted
# in its web run (the page runs JS just before the twin's screenshot), and
# passes only when the comparison of control CTRL then fails.
set -euo pipefail
server=$1 client=$2 script=$3 ctrl=$4 js=$5
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
grep -q '^twin-screenshot ' "$script" || { echo "FAIL: $script takes no screenshot pair"; exit 1; }
case $js in *'"'*) echo "FAIL: the planted script must not hold double quotes"; exit 1 ;; esac
# The scene as it is, with the page step planted before its first screenshot.
awk -v js="$js" '!done && /^twin-screenshot / { print "page-eval \"" js "\""; done = 1 } { print }' \
  "$script" >"$work/${script##*/}"
QOV_TWIN_AFTER="bash $here/twinshots.sh" QOV_SHOT_EXPECT_OVER=$ctrl \
  bash "$here/twin.sh" "$server" "$client" "$work/${script##*/}"
