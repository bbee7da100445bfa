#!/bin/sh
# no_printer.sh - runs the "no default printer" tests in a prefix of their own
# that has never had a printer, with its serial and parallel devices pointed at
# /dev/null. Its own wineserver is ended afterwards.
#
# Usage: no_printer.sh TEST.exe PREFIX-DIR
set -eu
exe=$1
WINEPREFIX=$2
export WINEPREFIX WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
for d in com1 com2 com3 com4 lpt1 lpt2 lpt3 lpt4; do
  ln -sfn /dev/null "$WINEPREFIX/dosdevices/$d"
done
rc=0
wine "$exe" --gtest_filter='NoPrinter.*' || rc=$?
wineserver -k >/dev/null 2>&1 || true
exit $rc
