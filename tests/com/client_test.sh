#!/bin/sh
# client_test.sh EXE CLIENT - registration and the C client: "-reg" writes every
# key (the server path quoted, the type library with its interface, under its
# locale and the neutral one), the C client's checks hold (late and early
# bound), every server it started ends by itself once its object is released
# without Run or its only activation failed, and "-unreg" removes every key.
exe=$1
client=$2
clsid='{20D05919-FA48-4b02-851F-F933ACD40A49}'
libid='{E454535C-DC9D-4046-8B48-C438F247722A}'
iid='{7240B04A-129E-4C7E-AF8F-4416D1EB6A4C}'
fail() { echo "FAIL: $*"; exit 1; }
query() { wine reg query "$1" 2>/dev/null | tr -d '\r'; }
exists() { wine reg query "$1" >/dev/null 2>&1; }
own_servers() {
  for pid in $(pgrep -f 'qovtervex.exe /Automation' 2>/dev/null); do
    tr '\0' '\n' < /proc/"$pid"/environ 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}

wine "$exe" -reg
[ $? = 1 ] || fail "-reg did not end with code 1"
keys="HKCR\\CLSID\\$clsid HKCR\\CLSID\\$clsid\\ProgID HKCR\\CLSID\\$clsid\\VersionIndependentProgID
HKCR\\CLSID\\$clsid\\LocalServer32 HKCR\\CLSID\\$clsid\\TypeLib HKCR\\CLSID\\$clsid\\Programmable
HKCR\\Qovclient.Application\\Clsid HKCR\\Qovclient.Application.1\\Clsid
HKCR\\TypeLib\\$libid\\1.0 HKCR\\Interface\\$iid"
for key in $keys; do
  exists "$key" || fail "$key missing"
done
for cat in '{7DD95801-9882-11CF-9FA9-00AA006C42C4}' '{7DD95802-9882-11CF-9FA9-00AA006C42C4}'; do
  exists "HKCR\\CLSID\\$clsid\\Implemented Categories\\$cat" || fail "category $cat missing"
done
query "HKCR\\CLSID\\$clsid\\LocalServer32" | grep -q '"[^"]*qovtervex.exe" /Automation' ||
  fail "LocalServer32 is not the quoted path with /Automation: $(query "HKCR\\CLSID\\$clsid\\LocalServer32")"
query "HKCR\\CLSID\\$clsid\\ProgID" | grep -q 'Qovclient.Application.1' || fail "ProgID"
query "HKCR\\Interface\\$iid\\TypeLib" | grep -qi "$libid" || fail "the interface names another library"
# The library also under the neutral locale 0, where Wine's marshaller looks
# for early-bound calls across processes: the same file as under 409.
lib409=$(query "HKCR\\TypeLib\\$libid\\1.0\\409\\win32" | sed -n 's/.*REG_SZ *//p')
lib0=$(query "HKCR\\TypeLib\\$libid\\1.0\\0\\win32" | sed -n 's/.*REG_SZ *//p')
[ -n "$lib0" ] && [ "$lib0" = "$lib409" ] || fail "TypeLib 1.0\\0\\win32 is \"$lib0\", not \"$lib409\""

out=$(wine "$client" 2>&1 | tr -d '\r')
echo "$out"
echo "$out" | grep -q "CLIENT DONE" || fail "the C client"
# Released without Run, the server process ends by itself (exit code 0).
left=
for _ in $(seq 300); do
  left=$(own_servers)
  [ -z "$left" ] && break
  sleep 0.2
done
if [ -n "$left" ]; then
  for pid in $left; do kill "$pid"; done
  fail "the server did not end after the object was released (ended pid $left)"
fi

wine "$exe" -unreg
for key in "HKCR\\CLSID\\$clsid" "HKCR\\Qovclient.Application" "HKCR\\Qovclient.Application.1" \
    "HKCR\\TypeLib\\$libid" "HKCR\\Interface\\$iid"; do
  exists "$key" && fail "-unreg left $key"
done
echo PASS
