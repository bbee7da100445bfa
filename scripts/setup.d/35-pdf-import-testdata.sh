#!/usr/bin/env bash
# 35-pdf-import-testdata.sh - PDF files for the page import's corpus run, taken
# from the test suites in the source packages of qpdf (qtest) and pdf.js
# (test/pdfs) at set-up time; nothing of them is committed. Quick on a second
# run.
set -euo pipefail

. "$(dirname "$0")/lib.sh"

cache=${QOV_DEPS_CACHE:-/var/cache/qovtervex-deps}
out=$cache/testdata/pdfimport
stamp=$out/.done-v1
[ -f "$stamp" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$out"; mkdir -p "$out"/qpdf "$out"/pdfjs

# The source package's original tarball, fetched once into the cache; the
# security suite's newest version is sometimes not fetchable: fall back to the
# oldest version listed.
fetch_source() {
  local pkg=$1 src=$cache/src/$1 ver
  if ls "$src"/*.orig.tar.* >/dev/null 2>&1; then return; fi
  mkdir -p "$src"
  if ! (cd "$src" && apt-get source --download-only -qq "$pkg" >/dev/null 2>&1); then
    ver=$(apt-cache showsrc "$pkg" | awk '/^Version:/{print $2}' | sort -V | head -1)
    rm -f "$src"/*
    (cd "$src" && apt-get source --download-only -qq "$pkg=$ver" >/dev/null)
  fi
}

# The original tarball of a fetched source package (not its signature).
orig_tarball() {
  ls "$cache/src/$1"/*.orig.tar.* | grep -v '\.asc$' | head -1
}

fetch_source qpdf
mkdir -p "$work"/qpdf
tar -xf "$(orig_tarball qpdf)" -C "$work"/qpdf --wildcards '*/qtest/*.pdf'
find "$work"/qpdf -path '*/qtest/*' -name '*.pdf' -type f | while read -r f; do
  cp "$f" "$out/qpdf/$(echo "${f#"$work"/qpdf/*/}" | tr / _)"
done

fetch_source pdf.js
mkdir -p "$work"/pdfjs
tar -xf "$(orig_tarball pdf.js)" -C "$work"/pdfjs --wildcards '*/test/pdfs/*.pdf'
find "$work"/pdfjs -path '*/test/pdfs/*' -name '*.pdf' -type f -exec cp {} "$out"/pdfjs/ \;

touch "$stamp"
