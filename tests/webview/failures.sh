#!/usr/bin/env bash
# failures.sh SERVER CLIENT SCRIPTS - the web view's failures under Wine, each a
# scene of its own, run with the client's default runtime (it starts the page
# host itself) from a copy of the program, so its debug log is the scene's:
#   hung       a page script that never ends: -52 instead of "", the log says
#              the view is not answering;
#   hostgone   the page host ends mid-scene, with 100 answered creations
#              not yet made by its page: -52, the host window's message, the
#              log lines (the labels named); a later window gets a fresh host;
#   frozen     the page host stops reading and later goes on: -52 and a veil
#              over the page meanwhile, gone when the page answers again; a
#              label made meanwhile is named as not yet acknowledged, and is
#              made;
#   nochromium QOV_CHROMIUM names a program that ends at once: -52 within 3 s
#              and the page host's reason in the log;
#   killed     the client is killed mid-session: its page host ends and leaves
#              no folder in the temporary directory;
#   hostkilled the page host is killed outright (no handler of its own runs):
#              the client, running on, removes the host's session folder;
#   cdrive     the program installed on drive C: runs a web scene; the page
#              host's port file goes to the temporary folder, not beside it.
# After each scene the page hosts it started must have removed their session
# folders (qovwv-PID-*) however they ended.
set -euo pipefail
source "$(dirname "$0")/scenelib.sh" "$@"

dir=$(scene hung webview-hung.txt)
log_has "$dir" "the page did not acknowledge a post within"
log_has "$dir" "is not answering: its operations answer -52"
# Every end of the process says why in the log, with its exit code.
log_has "$dir" "ProgramEnd.........: exit code 0: the server ended the session"

dir=$(scene hostgone webview-hostgone.txt)
log_has "$dir" "the page host closed the view's connection"
log_has "$dir" "is gone (its page has ended or was never made)"
# The labels named are the held-up batch's: a run of them ending with C102.
named=$(grep "the page never made these objects" "$dir/qovtervex.log" | sed 's/.*)://' | tr -s ' ' '\n' |
  sed -n 's/^C\([0-9]*\)\r*$/\1/p') || true
first=$(echo "$named" | head -1)
[ -n "$first" ] && [ "$first" -ge 3 ] && [ "$(echo "$named" | tail -1)" = 102 ] &&
  [ "$(echo "$named" | tr '\n' ' ')" = "$(seq -s ' ' "$first" 102) " ] ||
  { show "$dir/qovtervex.log"; fail "hostgone: the log does not name the labels C$first to C102 the page never made"; }
echo "hostgone: the log names C$first to C102, the labels the page never made"

dir=$(scene frozen webview-frozen.txt)
log_has "$dir" "the page did not acknowledge a post within"
log_has "$dir" "the page acknowledges again: posts go out again"
# The label made while the host read nothing reached the page late: not yet
# acknowledged, and never called never made.
log_has "$dir" "the page has not yet acknowledged these objects (its page is behind: the post is carried out once it catches up): C3"
! grep -q "the page never made these objects" "$dir/qovtervex.log" ||
  { show "$dir/qovtervex.log"; fail "frozen: the log calls objects the page made late never made"; }

dir=$(scene nochromium webview-nochromium.txt QOV_CHROMIUM=/bin/true)
log_has "$dir" "could not start (Chromium /bin/true):"

# The start of a scene that holds its web window open.
hold_open=('expect 1100 rest' 'send 1008 u32 9404 u32 0 u8 0 u8 46 text "SPL0"'
  'send 1401 seq=1 u32 30 u32 0 u32 600 u32 0 u32 0 u32 48 hex 120014000000 hex 1F0014000000 hex 230080020000 hex 0F00E0010000 u16 0x157 u32 2 hex 1E800E00 text "Qovtervex kill"'
  'expect 1102 seq=1 capture host')
host_up() { pid=$(host_pids "$dir" | head -1); [ -n "$pid" ] && compgen -G "$tmpdir/qovwv-$pid-*" >/dev/null; }

# Host killed: once the host has made its folder it is killed; the scene goes
# on (and ends the session) when the test has seen the folder go. The host's
# temporary folder is the scene's own: page hosts of other tests remove the
# folders of ended hosts in theirs, and must not do the client's work here.
dir=$(prepare hostkilled)
mkdir -p "$dir/tmp"
printf '%s\n' "${hold_open[@]}" 'wait-file "go" within 90000' 'send 1011 u32 0' 'expect 1102 u32 0' 'exit 0' \
  >"$dir/hold.txt"
(cd "$dir" && TMPDIR=$dir/tmp wine "$server" --timeout 30 --client "$(winpath "$dir/qovtervex.exe") -deb hostkilled" \
    "$(winpath "$dir/hold.txt")") >"$dir/session.log" 2>&1 &
run=$!
window_up() { tmpdir=$dir/tmp host_up && grep -q '\$host = ' "$dir/session.log"; }
folder_gone() { ! compgen -G "$dir/tmp/qovwv-$1-*" >/dev/null; }
wait_for 60 window_up || { show "$dir/session.log"; fail "hostkilled: no page host came up"; }
pid=$(host_pids "$dir" | head -1)
kill -9 "$pid"
wait_for 90 folder_gone "$pid" || { show "$dir/qovtervex.log"; fail "hostkilled: the killed host's folder stayed"; }
touch "$dir/go"
wait $run || { show "$dir/session.log"; fail "hostkilled: the scene"; }
log_has "$dir" "page host $pid has ended: its session folder is removed once its browser has ended"

# Installed on drive C:: nothing but the scene's logs is left beside the program.
scene_root=$c_root
dir=$(prepare cdrive)
listing() { (cd "$1" && find . ! -name session.log ! -name qovtervex.log | sort); }
installed=$(listing "$dir")
dir=$(scene cdrive webview-services.txt)
[ "$(listing "$dir")" = "$installed" ] || { diff <(echo "$installed") <(listing "$dir"); fail "cdrive: files were left beside the program"; }
log_has "$dir" "started on port"
scene_root=$work

# Killed: a scene that holds its web window open; the client is killed once
# its page host has made its folder.
dir=$(prepare killed)
printf '%s\n' "${hold_open[@]}" 'sleep 120000' >"$dir/hold.txt"
(cd "$dir" && wine "$server" --timeout 30 --client "$(winpath "$dir/qovtervex.exe") -deb killed" \
    "$(winpath "$dir/hold.txt")") >"$dir/session.log" 2>&1 &
hold=$!
wait_for 60 host_up || { show "$dir/session.log"; fail "killed: no page host came up"; }
pid=$(host_pids "$dir" | head -1)
# The client's own command line names it in the Windows form of its path.
client_pid=$(pgrep -f "$(basename "$work").killed.qovtervex.exe -host" | head -1)
[ -n "$client_pid" ] || fail "killed: the client is not running"
kill -9 "$client_pid"
wait_for 45 no_hosts_left "$dir" || fail "killed: the page host outlived its client"
no_session_folders "$pid" || fail "killed: the page host left its folder"
kill $hold 2>/dev/null || true
echo "web view failures: all scenes passed, nothing left in $tmpdir"
