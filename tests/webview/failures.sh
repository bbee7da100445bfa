#!/usr/bin/env bash
# failures.sh SERVER CLIENT SCRIPTS - the web view's failures under Wine, each a
# scene of its own, run with the client's default runtime (it starts the page
# host itself) from a copy of the program, so its debug log is the scene's:
#   hung       a page script that never ends: -52 instead of "", the log says
#              the view is not answering;
#   hostgone   the page host ends mid-scene: -52, the host window's message,
#              the log line; a later window gets a fresh host;
#   frozen     the page host stops reading and later goes on: -52 and a veil
#              over the page meanwhile, gone when the page answers again;
#   nochromium QOV_CHROMIUM names a program that ends at once: -52 within 3 s
#              and the page host's reason in the log;
#   killed     the client is killed mid-session: its page host ends and leaves
#              no folder in the temporary directory.
# After each scene the page hosts it started must have removed their session
# folders (qovwv-PID-*) however they ended.
set -euo pipefail
source "$(dirname "$0")/scenelib.sh" "$@"

dir=$(scene hung webview-hung.txt)
log_has "$dir" "the page did not acknowledge a post within"
log_has "$dir" "is not answering: its operations answer -52"

dir=$(scene hostgone webview-hostgone.txt)
log_has "$dir" "the page host closed the view's connection"
log_has "$dir" "is gone (its page has ended or was never made)"

dir=$(scene frozen webview-frozen.txt)
log_has "$dir" "the page did not acknowledge a post within"
log_has "$dir" "the page acknowledges again: posts go out again"

dir=$(scene nochromium webview-nochromium.txt QOV_CHROMIUM=/bin/true)
log_has "$dir" "could not start (Chromium /bin/true):"

# Killed: a scene that holds its web window open; the client is killed once
# its page host has made its folder.
dir=$(prepare killed)
printf '%s\n' 'expect 1100 rest' 'send 1008 u32 9404 u32 0 u8 0 u8 46 text "SPL0"' \
  'send 1401 seq=1 u32 30 u32 0 u32 600 u32 0 u32 0 u32 48 hex 120014000000 hex 1F0014000000 hex 230080020000 hex 0F00E0010000 u16 0x157 u32 2 hex 1E800E00 text "Qovtervex kill"' \
  'expect 1102 seq=1 capture host' 'sleep 120000' >"$dir/hold.txt"
(cd "$dir" && wine "$server" --timeout 30 --client "$(winpath "$dir/qovtervex.exe") -deb killed" \
    "$(winpath "$dir/hold.txt")") >"$dir/session.log" 2>&1 &
hold=$!
host_up() { pid=$(host_pids "$dir" | head -1); [ -n "$pid" ] && compgen -G "$tmpdir/qovwv-$pid-*" >/dev/null; }
wait_for 60 host_up || { tr -d '\r' <"$dir/session.log"; fail "killed: no page host came up"; }
pid=$(host_pids "$dir" | head -1)
# The client's own command line names it in the Windows form of its path.
client_pid=$(pgrep -f "$(basename "$work").killed.qovtervex.exe -host" | head -1)
[ -n "$client_pid" ] || fail "killed: the client is not running"
kill -9 "$client_pid"
wait_for 45 no_hosts_left "$dir" || fail "killed: the page host outlived its client"
no_session_folders "$pid" || fail "killed: the page host left its folder"
kill $hold 2>/dev/null || true
echo "web view failures: all scenes passed, nothing left in $tmpdir"
