#!/bin/sh
# autodetail_test.sh EXE SERVER SCRIPTS - why an automation call failed reaches
# the debug log: the scripted server runs the dictionary and FileSystemObject
# scenes against a copy of the client started with -deb (its log goes beside
# the program, so the copy keeps it away from other tests), and the log must
# hold each failure's argument or status code.
exe=$1
server=$2
scripts=$3
work=$(mktemp -d)
fail() { echo "FAIL: $*"; cat "$work/run.log" 2>/dev/null; rm -rf "$work"; exit 1; }
cp "$exe" "$work/qovtervex.exe" || fail "cannot copy the client"
client=$(winepath -w "$work/qovtervex.exe")

# scene SCRIPT LINE... - runs the scene, then finds each line in the log.
scene() {
  script=$1
  shift
  (cd "$work" && wine "$server" --timeout 20 --client "$client -deb automation" \
    "$(winepath -w "$scripts/$script")") > "$work/run.log" 2>&1 || fail "$script"
  tr -d '\r' < "$work/qovtervex.log" > "$work/log.txt"
  for line in "$@"; do
    grep -q "^AutomationError\.*: $line\$" "$work/log.txt" ||
      { cat "$work/log.txt"; fail "$script: no line \"$line\" in the debug log"; }
  done
}

# CompareMode = "abc": the refused argument (the only one, 0); a second Add of
# a key: the dictionary's "key exists".
scene automation-dictionary.txt "-73 ARG: 0" "-69 SCODE: 0x800a01c9"
# GetFile: "file not found" and "path not found" are told apart.
scene automation-fso.txt "-69 SCODE: 0x800a0035" "-69 SCODE: 0x800a004c"
rm -rf "$work"
echo PASS
