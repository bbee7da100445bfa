# fakeclass.sh - sourced by the end-to-end scripts that put a test fake in
# place of a platform class in this Wine prefix for one run and drive the
# client under test with the scripted server.

fail() { echo "FAIL: $*"; exit 1; }

# fake_register KEY DLL WHAT - registers DLL (apartment threaded) as the
# in-process server under KEY; the original registration is put back when the
# script exits. WHAT names the fake in the failure.
fake_register() {
  fake_key=$1
  fake_original=$(wine reg query "$fake_key" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  trap fake_restore EXIT
  wine reg add "$fake_key" /ve /d "$(winepath -w "$2")" /f >/dev/null 2>&1 || fail "cannot register $3"
  wine reg add "$fake_key" /v ThreadingModel /d Apartment /f >/dev/null 2>&1
}

fake_restore() {
  if [ -n "$fake_original" ]; then
    wine reg add "$fake_key" /ve /d "$fake_original" /f >/dev/null 2>&1
  fi
}

# run_scripted SERVER SECONDS CLIENT SCRIPT - the scripted server runs SCRIPT
# against the client command line CLIENT; PASS, or FAIL with its result.
run_scripted() {
  wine "$1" --timeout "$2" --client "$3" "$(winepath -w "$4")"
  rc=$?
  [ "$rc" = 0 ] || fail "the scripted server reported failures ($rc)"
  echo PASS
}
