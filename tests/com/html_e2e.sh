#!/bin/sh
# html_e2e.sh EXE SERVER FAKEDLL SCRIPT - the client under test with the tests'
# fake browser in place of the platform's WebBrowser in this Wine prefix for the
# run (the registration is put back afterwards); the script drives an HTML
# control whose page the fake builds from the written text.
exe=$1
server=$2
fake=$3
script=$4
. "$(dirname "$0")/fakeclass.sh"

fake_register 'HKLM\Software\Classes\CLSID\{8856F961-340A-11D0-A96B-00C04FD705A2}\InprocServer32' "$fake" \
  "the fake browser"
run_scripted "$server" 30 "$(winepath -w "$exe") objects" "$script"
