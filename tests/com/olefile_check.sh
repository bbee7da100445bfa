#!/bin/sh
# olefile_check.sh REGION - reads the OLE area that com_container_tests saved at
# offset 1000 of a file with Debian's python3-olefile, a reader independent of
# Wine's ole32: the root's class, the objects' sub-storages, the control's
# "Ctrl" stream and the documents' own streams. Skipped (77) without olefile.
region="$1"
PY=/usr/bin/python3
[ -x "$PY" ] || PY=python3
if ! "$PY" -c "import olefile" 2>/dev/null; then
  echo "SKIP: python3-olefile is not installed"
  exit 77
fi
[ -f "$region" ] || { echo "FAIL: no region file $region"; exit 1; }
"$PY" - "$region" <<'PYEOF'
import sys, olefile
data = open(sys.argv[1], "rb").read()
base = 1000
if data[:base] != b"\x5a" * base:
    print("FAIL: the bytes before the region changed"); sys.exit(1)
ole = olefile.OleFileIO(data[base:])
checks = [
    ("root class", ole.root.clsid, "63045ADA-547D-4B5D-BFD7-F3F65702EDC0"),
    ("storages", sorted(e[0] for e in ole.listdir(streams=False, storages=True)),
     ["QovBlob1", "QovBlob2", "QovBlob3"]),
    ("document A", ole.openstream("QovBlob1/QovDoc").read(), b"QOVDOC:alpha"),
    ("document B", ole.openstream("QovBlob2/QovDoc").read(), b"QOVDOC:beta"),
    ("control stream", ole.openstream("QovBlob3/Ctrl").read(), b"\x00\xa0\x00\x00"),
]
bad = 0
for name, got, want in checks:
    if got != want:
        print("FAIL: %s: expected %r, got %r" % (name, want, got)); bad = 1
if not bad:
    print("PASS: the region reads back with olefile")
sys.exit(bad)
PYEOF
