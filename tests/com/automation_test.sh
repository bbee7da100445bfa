#!/bin/sh
# automation_test.sh EXE SERVER SRCDIR - the automation server out of process:
# registers qovtervex.exe, starts the scripted server, and lets Wine's script
# host drive Qovclient.Application through automation.vbs; the program that
# COM starts must send the program request with Run's command line. A server
# process still running at the end is ended by its process id.
exe=$1
server=$2
src=$3
work=$(mktemp -d)
fail() { echo "FAIL: $*"; cat "$work"/*.log 2>/dev/null; rm -rf "$work"; exit 1; }

wine "$exe" -reg
[ $? = 1 ] || fail "-reg did not end with code 1"

wine "$server" --port 0 --timeout 20 "$(winepath -w "$src/run.txt")" > "$work/server.log" 2>&1 &
server_pid=$!
port=
for _ in $(seq 300); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/server.log" | tr -d '\r')
  [ -n "$port" ] && break
  sleep 0.2
done
[ -n "$port" ] || fail "the scripted server did not start"

wine cscript //nologo "$(winepath -w "$src/automation.vbs")" "$port" > "$work/script.log" 2>&1
wait "$server_pid"
server_rc=$?
cat "$work/script.log" "$work/server.log"
grep -q "FAIL" "$work/script.log" && fail "the script failed"
grep -q "AUTOMATION DONE" "$work/script.log" || fail "the script did not run to its end"
[ "$server_rc" = 0 ] || fail "the scripted server failed"

# The program COM started: found by its command line in this Wine prefix.
for pid in $(pgrep -f 'qovtervex.exe /Automation' 2>/dev/null); do
  if tr '\0' '\n' < /proc/"$pid"/environ 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
    echo "ending the automation server left running (pid $pid)"
    kill "$pid"
  fi
done
rm -rf "$work"
echo PASS
