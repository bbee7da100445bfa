#!/bin/sh
# print_ports.sh - runs the printer file tests with the run's prefix's ports
# pointed at things of the test's own folder: lpt2 at a capture file, lpt3 at
# a device that is always full, and com1 and lpt4 at a pseudo-terminal whose
# reader (pty_reader.py) the tests pause and resume. The ports go back to
# /dev/null afterwards, so no other test ever reaches them.
#
# Usage: print_ports.sh TEST.exe
set -eu
exe=$1
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?the printer file tests use the run's WINEPREFIX}"
dev=$WINEPREFIX/dosdevices
rm -rf ports
mkdir -p ports
: > ports/lpt2.bin
ln -sfn "$(pwd)/ports/lpt2.bin" "$dev/lpt2"
ln -sfn /dev/full "$dev/lpt3"
python3 "$here/pty_reader.py" ports "$dev/com1" "$dev/lpt4" &
reader=$!
# The reader's links must be in place before the client opens a port: on a
# busy machine Python may take seconds to start, so the wait is long and a
# reader that never comes fails the run rather than leaving the ports on
# /dev/null.
for _ in $(seq 600); do [ -e ports/pty.ready ] && break; sleep 0.1; done
if [ ! -e ports/pty.ready ]; then
  echo "FAIL: the pseudo-terminal reader did not start"
  kill "$reader" 2>/dev/null || true
  exit 1
fi
# Wine's serial driver links com1 to the first serial device it detects
# (/dev/ttyS0) whenever its services start, which on a busy machine can be
# after the reader made its link: the port table of the registry names the
# pseudo-terminal, so the driver links com1 to it too.
ports_key='HKLM\Software\Wine\Ports'
pty=$(cat ports/pty.ready)
for p in COM1 LPT4; do wine reg add "$ports_key" /v "$p" /d "$pty" /f >/dev/null 2>&1; done
# The driver may have started with those very calls, before the table said
# so: the links are made again, now that it has.
for d in com1 lpt4; do ln -sfn "$pty" "$dev/$d"; done
restore() {
  kill "$reader" 2>/dev/null || true
  for p in COM1 LPT4; do wine reg delete "$ports_key" /v "$p" /f >/dev/null 2>&1 || true; done
  for d in com1 lpt2 lpt3 lpt4; do ln -sfn /dev/null "$dev/$d"; done
}
trap restore EXIT
# Where com1 points, each time that changes while the tests run: printed
# when they fail.
(last=""; while :; do now=$(readlink "$dev/com1" || true)
  [ "$now" != "$last" ] && echo "$(date +%T.%N) com1 -> $now" >>ports/links.log; last=$now; sleep 0.05; done) &
watcher=$!
rc=0
wine "$exe" || rc=$?
kill "$watcher" 2>/dev/null || true
[ "$rc" = 0 ] || cat ports/links.log
exit $rc
