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
. "$(dirname "$0")/fakeclass.sh"

if [ "$case" = fake ]; then
  fake_register 'HKLM\Software\Classes\CLSID\{926749FA-2615-4987-8845-C33E65F2B957}\InprocServer32' "$fake" \
    "the fake framework"
fi
run_scripted "$server" 20 "$(winepath -w "$exe") orders.qoc" "$scripts/ribbon-$case.txt"
