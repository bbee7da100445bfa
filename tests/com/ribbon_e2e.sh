#!/bin/sh
# ribbon_e2e.sh CASE EXE SERVER FAKEDLL SCRIPTDIR - the client under test with a
# ribbon, end to end. CASE "fake": the tests' fake framework takes the Ribbon
# framework's class id in this Wine prefix for the run (its registration is put
# back afterwards) and ribbon-fake.txt drives it; CASE "wine": Wine's own
# framework and ribbon-wine.txt.
case=$1
exe=$2
server=$3
fake=$4
scripts=$5
key='HKLM\Software\Classes\CLSID\{926749FA-2615-4987-8845-C33E65F2B957}\InprocServer32'
fail() { echo "FAIL: $*"; exit 1; }

original=$(wine reg query "$key" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
restore() {
  if [ -n "$original" ]; then
    wine reg add "$key" /ve /d "$original" /f >/dev/null 2>&1
  fi
}
if [ "$case" = fake ]; then
  trap restore EXIT
  wine reg add "$key" /ve /d "$(winepath -w "$fake")" /f >/dev/null 2>&1 || fail "cannot register the fake framework"
  wine reg add "$key" /v ThreadingModel /d Apartment /f >/dev/null 2>&1
fi
wine "$server" --timeout 20 --client "$(winepath -w "$exe") orders.qoc" "$(winepath -w "$scripts/ribbon-$case.txt")"
rc=$?
[ "$rc" = 0 ] || fail "the scripted server reported failures ($rc)"
echo PASS
