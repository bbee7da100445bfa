#!/usr/bin/env bash
# check-32bit.sh - whether this machine can run Wine's 32-bit loader, which
# runs the client and its Windows tests. Some 64-bit kernels run no 32-bit
# x86 programs at all (Linux with IA-32 emulation off: every i386 program
# fails with "Exec format error"); there the Wine stage cannot start, and the
# run stops with one line saying what is missing instead of failing deep
# inside every test. Exit 0 when the loader runs, 1 (with that line on
# stderr) when it does not.
# Usage: scripts/check-32bit.sh [LOADER]   (default: Debian's wine32 loader)
set -u
loader=${1:-/usr/lib/wine/wine}
if [ ! -x "$loader" ]; then
  echo "Wine stage: Wine's 32-bit loader ($loader, package wine32) is not installed." >&2
  exit 1
fi
said=$("$loader" --version 2>&1 >/dev/null)
status=$?
if [ "$status" -ne 0 ]; then
  [ -n "$said" ] || said="it ended with status $status"
  case "$said" in
    *"Exec format error"*)
      echo "Wine stage: this machine runs no 32-bit x86 programs (its kernel has IA-32 emulation off), so Wine cannot run the 32-bit client or its tests." >&2 ;;
    *)
      echo "Wine stage: Wine's 32-bit loader ($loader) does not start: ${said%%$'\n'*}" >&2 ;;
  esac
  exit 1
fi
exit 0
