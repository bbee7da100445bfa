#!/usr/bin/env bash
# 20-image-testdata.sh - sample pictures for the image decoder tests, taken from
# Debian packages at set-up time (nothing of them is committed): the PNG test
# suite of libpng, the GIF/JPEG/PNG/BMP samples of the Go standard library and
# the JPEG test images of libjpeg-turbo. Quick on a second run.
#
# The TIFF and PCX tests have their own folder and stamp: the TIFF samples and
# raw Group 4 streams of Go's x/image, and the tools they write and read their
# files with (libtiff's tools, netpbm, Pillow; libtiff itself for the
# benchmark).
set -euo pipefail

. "$(dirname "$0")/lib.sh"

cache=${QOV_DEPS_CACHE:-/var/cache/qovtervex-deps}
tiffpcx=$cache/testdata/tiffpcx
if [ ! -f "$tiffpcx/.done-v1" ]; then
  install_missing_packages libtiff-tools netpbm python3-pil golang-golang-x-image-dev libtiff-dev
  rm -rf "$tiffpcx"; mkdir -p "$tiffpcx"/gotiff "$tiffpcx"/ccitt
  ximage=/usr/share/gocode/src/golang.org/x/image
  cp "$ximage"/testdata/*.tiff "$tiffpcx"/gotiff/
  cp "$ximage"/ccitt/testdata/*.ccitt_group4 "$ximage"/ccitt/testdata/bw-gopher.png "$tiffpcx"/ccitt/
  touch "$tiffpcx/.done-v1"
fi

out=$cache/testdata/image
stamp=$out/.done-v1
[ -f "$stamp" ] && exit 0

# The reference pixels come from ImageMagick (installed by setup.sh) at test time.
export DEBIAN_FRONTEND=noninteractive
rm -rf "$out"; mkdir -p "$out"/pngsuite "$out"/testpngs "$out"/go "$out"/jpeg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# libpng's source tarball holds contrib/pngsuite and contrib/testpngs.
src=$cache/src/libpng1.6
if ! ls "$src"/*.orig.tar.* >/dev/null 2>&1; then
  mkdir -p "$src"
  # The security suite's newest version is sometimes not fetchable: fall back
  # to the oldest version the sources list (the main suite's).
  if ! (cd "$src" && apt-get source --download-only -qq libpng1.6 >/dev/null 2>&1); then
    ver=$(apt-cache showsrc libpng1.6 | awk '/^Version:/{print $2}' | sort -V | head -1)
    rm -f "$src"/*
    (cd "$src" && apt-get source --download-only -qq "libpng1.6=$ver" >/dev/null)
  fi
fi
tar -xf "$src"/*.orig.tar.* -C "$work" --wildcards '*/contrib/pngsuite/*' '*/contrib/testpngs/*'
cp "$work"/*/contrib/pngsuite/*.png "$out"/pngsuite/
find "$work"/*/contrib/testpngs -name '*.png' -exec cp {} "$out"/testpngs/ \;

# Go's image packages keep their samples in the source package's .deb.
deb=$cache/src/golang-1.19-src
if ! ls "$deb"/*.deb >/dev/null 2>&1; then
  mkdir -p "$deb"
  (cd "$deb" && apt-get download -qq golang-1.19-src >/dev/null)
fi
dpkg -x "$deb"/*.deb "$work"/go
for d in image/testdata image/png/testdata; do
  find "$work"/go -path "*/src/$d/*" -type f \
    \( -name '*.gif' -o -name '*.jpeg' -o -name '*.jpg' -o -name '*.png' -o -name '*.bmp' \) \
    -exec cp {} "$out"/go/ \;
done

# libjpeg-turbo's test images, from the source package set-up already fetched.
jsrc=$cache/src/libjpeg-turbo
tar -xf "$jsrc"/*.orig.tar.* -C "$work" --wildcards '*/testimages/*'
find "$work" -path '*/testimages/*' -type f \( -name '*.jpg' -o -name '*.bmp' \) \
  -exec cp {} "$out"/jpeg/ \;

touch "$stamp"
