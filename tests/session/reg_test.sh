#!/bin/sh
# reg_test.sh - runs "qovtervex -reg" under Wine and reads the keys back with
# Wine's own reg tool; then "-unreg" and checks they are gone.
exe=$1
wine "$exe" -reg
rc=$?
[ "$rc" = 1 ] || { echo "FAIL: -reg ended with $rc, expected 1"; exit 1; }
for key in 'HKCR\Qovclient.Application\Clsid' 'HKCR\Qovclient.Application.1\Clsid' \
    'HKCR\CLSID\{20D05919-FA48-4b02-851F-F933ACD40A49}\LocalServer32' \
    'HKCR\CLSID\{20D05919-FA48-4b02-851F-F933ACD40A49}\TypeLib'; do
  out=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
  [ -n "$out" ] || { echo "FAIL: $key missing"; exit 1; }
  echo "$out"
done
wine reg query 'HKCR\CLSID\{20D05919-FA48-4b02-851F-F933ACD40A49}\LocalServer32' | grep -q '/Automation' ||
  { echo "FAIL: LocalServer32 lacks /Automation"; exit 1; }
wine reg query 'HKCR\Qovclient.Application\Clsid' | grep -qi '{20D05919-FA48-4b02-851F-F933ACD40A49}' ||
  { echo "FAIL: the ProgId names another class"; exit 1; }
wine "$exe" -unreg
if wine reg query 'HKCR\Qovclient.Application\Clsid' >/dev/null 2>&1; then
  echo "FAIL: -unreg left the keys"; exit 1
fi
echo PASS
