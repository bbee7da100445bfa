#!/bin/sh
# html_e2e.sh EXE SERVER FAKEDLL SCRIPT - the client under test with the tests'
# fake browser in place of the platform's WebBrowser in this Wine prefix for the
# run (the registration is put back afterwards); the script drives an HTML
# control whose page the fake builds from the written text.
exe=$1
server=$2
fake=$3
script=$4
key='HKLM\Software\Classes\CLSID\{8856F961-340A-11D0-A96B-00C04FD705A2}\InprocServer32'
fail() { echo "FAIL: $*"; exit 1; }

original=$(wine reg query "$key" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
restore() {
  if [ -n "$original" ]; then
    wine reg add "$key" /ve /d "$original" /f >/dev/null 2>&1
  fi
}
trap restore EXIT
wine reg add "$key" /ve /d "$(winepath -w "$fake")" /f >/dev/null 2>&1 || fail "cannot register the fake browser"
wine reg add "$key" /v ThreadingModel /d Apartment /f >/dev/null 2>&1
wine "$server" --timeout 30 --client "$(winepath -w "$exe") objects" "$(winepath -w "$script")"
rc=$?
[ "$rc" = 0 ] || fail "the scripted server reported failures ($rc)"
echo PASS
