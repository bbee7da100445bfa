#!/usr/bin/env bash
# check32bit_test.sh - the Wine stage's check that this machine runs 32-bit
# programs: each kind of loader gives its status and at most one line.
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A program the kernel cannot load, as an i386 one is where IA-32 emulation is
# off: an ELF head with nothing after it fails with "Exec format error".
printf '\177ELF\001\001\001\000' >"$work/unloadable"
chmod +x "$work/unloadable"
failed=0
check() {  # loader, expected status, expected text in the line ("" for none), why
  local out status lines
  out=$(bash "$here/scripts/check-32bit.sh" "$1" 2>&1)
  status=$?
  lines=$(printf '%s' "$out" | grep -c '')
  if [ "$status" -ne "$2" ] || { [ -z "$3" ] && [ -n "$out" ]; } || { [ -n "$3" ] && { [ "$lines" -ne 1 ] || [[ "$out" != *"$3"* ]]; }; }; then
    echo "FAIL: $4: expected status $2 and '$3', got status $status and: $out"
    failed=1
  fi
}
check /bin/true 0 "" "a loader that runs passes silently"
check "$work/unloadable" 1 "IA-32 emulation off" "a kernel that cannot load the loader is named"
check "$work/missing" 1 "package wine32" "a missing loader names its package"
check /bin/false 1 "does not start: it ended with status 1" "another failure gives the loader's own status"
exit "$failed"
